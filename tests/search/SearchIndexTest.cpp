#include <model/Item.h>
#include <model/LibraryStore.h>
#include <search/SearchIndex.h>
#include <search/SubstringFinder.h>

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

std::vector<Item *> pointers(const std::vector<std::unique_ptr<Item>> &items)
{
    std::vector<Item *> list;
    for (const auto &item : items)
        list.push_back(item.get());
    return list;
}

size_t itemsHolding(const SearchIndex &index, std::string_view word)
{
    std::vector<quint32> hits;
    index.scan({SubstringFinder(word)}, hits);
    size_t found = 0;
    for (size_t position = 0; position < index.list().size(); ++position)
        found += hits[index.slotAt(position)] != 0 ? 1 : 0;
    return found;
}

// The fields holding `word`, as bits 0 to 3, read from the item's own lower-cased text.
unsigned fieldsHolding(const Item &item, std::string_view word)
{
    const SearchFields fields = SearchFields::of(item.searchText());
    const SubstringFinder finder(word);
    unsigned bits = 0;
    const std::optional<std::string_view> each[] = {fields.title, fields.note, fields.domain,
                                                    fields.url};
    for (unsigned f = 0; f < 4; ++f)
        bits |= each[f] && finder.foundIn(*each[f]) ? 1u << f : 0;
    return bits;
}

// Whether `indexed` reads as `own`, the item's lower-cased field, with A to Z folded.
bool readsAs(std::optional<std::string_view> indexed, std::optional<std::string_view> own)
{
    if (indexed.has_value() != own.has_value())
        return false;
    return !indexed || (indexed->size() == own->size() &&
                        (indexed->empty() || SubstringFinder(*own).isPrefixOf(*indexed)));
}

} // namespace

// An index over a library read from its store reads most texts where the store put them, as
// typed. Whatever the order of the list, every field it finds a word in must be one the
// item's own lower-cased text holds it in, and no other: capitals, letters whose lower case
// is more than A to Z, a word running from one field into the next, words in the page
// metadata no search reads, items edited since, and the store gone while the index stays.
TEST(SearchIndex, ReadsAStoredLibraryAsTheItemsOwnLowerCasedTexts)
{
    const QStringList words{u"Garden"_s, u"TOOLS"_s, u"rake"_s,  u"gar"_s,     u"den"_s,
                            u"ÉCOLE"_s,  u"école"_s, u"İzmir"_s, u"STRASSE"_s, u"Straße"_s};
    QRandomGenerator random(11);
    const auto phrase = [&](int most) {
        QStringList parts;
        for (int n = 1 + int(random.bounded(most)); n > 0; --n)
            parts << words[int(random.bounded(qsizetype(words.size())))];
        return parts.join(random.bounded(3) == 0 ? QString() : u" "_s);
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lib.store"_s);
    QString error;
    {
        auto store = LibraryStore::open(path, &error);
        ASSERT_TRUE(store) << qPrintable(error);
        for (int i = 0; i < 3000; ++i) {
            const bool linked = random.bounded(2) == 0;
            auto item = std::make_unique<Item>(
                ItemType::WebLink, phrase(4),
                linked ? std::optional<QUrl>(QUrl(u"https://"_s + phrase(1).remove(u' ') +
                                                  u".example/"_s + phrase(2).remove(u' ')))
                       : std::nullopt,
                random.bounded(3) == 0 ? std::optional<QString>(phrase(6)) : std::nullopt);
            if (random.bounded(4) == 0)
                item->setMetadataJSON(QByteArray(R"({"description":"garden rake tools"})"));
            if (random.bounded(5) == 0)
                item->setSourceApp(u"Garden Tools"_s);
            store->insert(std::move(item));
        }
        ASSERT_TRUE(store->save(&error)) << qPrintable(error);
    }
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store) << qPrintable(error);
    std::vector<Item *> items(store->items().cbegin(), store->items().cend());
    ASSERT_EQ(items.size(), 3000u);
    for (size_t i = 0; i < items.size(); i += 97)
        items[i]->setTitle(u"Rake "_s + phrase(3));

    const std::vector<std::string> needles{"garden",  "tools",  "rake",  "garden tools", "école",
                                           "strasse", "straße", "i̇zmir", "ende",         "n g"};
    const auto check = [&](const SearchIndex &index, const std::vector<Item *> &list) {
        for (const std::string &needle : needles) {
            std::vector<quint32> hits;
            index.scan({SubstringFinder(needle)}, hits);
            for (size_t position = 0; position < list.size(); ++position) {
                const Item &item = *list[position];
                const quint32 slot = index.slotAt(position);
                ASSERT_EQ(hits[slot], fieldsHolding(item, needle))
                    << needle << " in " << qPrintable(item.title()) << " / "
                    << qPrintable(item.note().value_or(QString()));
            }
        }
        for (size_t position = 0; position < list.size(); ++position) {
            const SearchFields indexed = index.fieldsOf(index.slotAt(position));
            const SearchFields own = SearchFields::of(list[position]->searchText());
            ASSERT_TRUE(readsAs(indexed.title, own.title) && readsAs(indexed.note, own.note) &&
                        readsAs(indexed.domain, own.domain) && readsAs(indexed.url, own.url))
                << qPrintable(list[position]->title());
        }
    };
    std::vector<Item *> reversed(items.rbegin(), items.rend());
    std::vector<Item *> shuffled = items;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    for (const std::vector<Item *> *list : {&items, &reversed, &shuffled}) {
        SearchIndex index;
        index.follow(*list);
        check(index, *list);
    }

    // The store and its items go; the texts the index holds stay readable.
    SearchIndex index;
    index.follow(items);
    std::vector<quint32> before;
    index.scan({SubstringFinder("garden")}, before);
    std::vector<Item *>().swap(items);
    store.reset();
    std::vector<quint32> after;
    index.scan({SubstringFinder("garden")}, after);
    EXPECT_EQ(after, before);
    EXPECT_GT(std::count_if(after.cbegin(), after.cend(), [](quint32 h) { return h != 0; }), 0);
}

// A long list is followed a slice at a time, read from where its owner keeps it: the index
// ends up holding the same list, item for item, and lets go of the owner's once done. An edit
// between two slices starts the walk over, so the index holds the edit too.
TEST(SearchIndex, FollowsASharedListASliceAtATime)
{
    std::vector<std::unique_ptr<Item>> items;
    for (int i = 0; i < 20000; ++i) {
        items.push_back(std::make_unique<Item>(ItemType::WebLink, u"Pear "_s + QString::number(i)));
        items.back()->setFavorite(i % 3 == 0);
    }
    SearchIndex index;
    index.follow(pointers(items)); // another list before, in another order
    std::vector<Item *> reversed = pointers(items);
    std::reverse(reversed.begin(), reversed.end());
    auto shared = std::make_shared<const std::vector<Item *>>(reversed);

    ASSERT_FALSE(index.startFollowing(shared));
    int slices = 0;
    while (!index.followSome(std::chrono::steady_clock::now())) {
        if (++slices == 10)
            items[19994]->setTitle(u"Quince"_s); // walked already
        ASSERT_LT(slices, 100000);
    }
    EXPECT_GT(slices, 10);
    EXPECT_EQ(shared.use_count(), 1);
    ASSERT_EQ(index.list(), reversed);
    EXPECT_TRUE(index.follows(reversed));
    EXPECT_TRUE(index.startFollowing(shared));
    EXPECT_EQ(itemsHolding(index, "quince"), 1u);
    EXPECT_EQ(itemsHolding(index, "pear"), 19999u);
    for (size_t position = 0; position < reversed.size(); ++position)
        ASSERT_EQ(index.isFavoriteAt(position), reversed[position]->isFavorite()) << position;

    // A walk given up halfway lets go of the list and keeps only what it walked.
    auto other = std::make_shared<const std::vector<Item *>>(pointers(items));
    ASSERT_FALSE(index.startFollowing(other));
    ASSERT_FALSE(index.followSome(std::chrono::steady_clock::now()));
    index.abandonWalk();
    EXPECT_EQ(other.use_count(), 1);
    ASSERT_GT(index.list().size(), 0u);
    ASSERT_LT(index.list().size(), other->size());
    EXPECT_TRUE(std::equal(index.list().cbegin(), index.list().cend(), other->cbegin()));
}

// Dead slots are counted, neither too few (the index would grow without end) nor too many
// (it would be built again and again): a rebuild copies only what is left, and after it the
// items' old slot numbers, from the index before, count as nothing.
TEST(SearchIndex, IsBuiltAgainOnceMostlyDeadAndOnlyThen)
{
    std::vector<std::unique_ptr<Item>> items;
    for (int i = 0; i < 9000; ++i)
        items.push_back(std::make_unique<Item>(ItemType::WebLink, u"Pear "_s + QString::number(i)));
    SearchIndex index;
    index.follow(pointers(items));
    EXPECT_EQ(index.slotCount(), 9000u);
    EXPECT_FALSE(index.wantsRebuild());

    items.resize(3000);
    EXPECT_TRUE(index.wantsRebuild());
    // In another order, so that many items' old slot numbers lie below the new index's size.
    std::vector<Item *> reversed = pointers(items);
    std::reverse(reversed.begin(), reversed.end());
    index.follow(reversed);
    EXPECT_EQ(index.slotCount(), 3000u);
    EXPECT_FALSE(index.wantsRebuild());

    items.front()->setTitle(u"Quince"_s);
    index.follow(reversed);
    EXPECT_EQ(index.slotCount(), 3001u);
    EXPECT_FALSE(index.wantsRebuild());
    EXPECT_EQ(itemsHolding(index, "quince"), 1u);
    EXPECT_EQ(itemsHolding(index, "pear"), 2999u);

    // Once more slots are dead than live, it is built again.
    for (size_t i = 1; i < items.size(); ++i)
        items[i]->setTitle(u"Plum "_s + QString::number(i));
    index.follow(reversed);
    EXPECT_EQ(index.slotCount(), 6000u);
    EXPECT_FALSE(index.wantsRebuild());
    items.front()->setTitle(u"Plum"_s);
    index.follow(reversed);
    EXPECT_TRUE(index.wantsRebuild());
    index.follow(pointers(items));
    EXPECT_EQ(index.slotCount(), 3000u);
    EXPECT_FALSE(index.wantsRebuild());
    EXPECT_EQ(itemsHolding(index, "plum"), 3000u);
    EXPECT_EQ(itemsHolding(index, "pear"), 0u);
}

// An edit of a text no search reads moves a stored item's texts out of the store's arena: the
// index must let go of the block it held there (or the chunk would stay for as long as the
// index does), so the item is copied again. An item whose texts were never there is not.
TEST(SearchIndex, LetsGoOfAStoredBlockOnceItsItemsTextsMoveOut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"lib.store"_s);
    QString error;
    {
        auto store = LibraryStore::open(path, &error);
        ASSERT_TRUE(store) << qPrintable(error);
        for (int i = 0; i < 50; ++i)
            store->insert(
                std::make_unique<Item>(ItemType::WebLink, u"Garden "_s + QString::number(i)));
        ASSERT_TRUE(store->save(&error)) << qPrintable(error);
    }
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store) << qPrintable(error);
    std::vector<Item *> items(store->items().cbegin(), store->items().cend());
    Item made(ItemType::WebLink, u"Garden shed"_s);
    items.push_back(&made);
    SearchIndex index;
    index.follow(items);
    ASSERT_EQ(index.slotCount(), 51u);

    const auto revisions = [&] {
        std::vector<quint64> all;
        for (const Item *item : items)
            all.push_back(item->searchRevision());
        return all;
    };
    const std::vector<quint64> before = revisions();
    items[0]->setMetadataJSON(QByteArray(R"({"description":"shed"})"));
    items[1]->setSourceApp(u"Files"_s);
    items[2]->setTypeRawValue(u"hologram"_s);
    made.setMetadataJSON(QByteArray(R"({"description":"shed"})"));
    const std::vector<quint64> after = revisions();
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(after[i] != before[i], i < 3) << i;
    // Once out, a further edit leaves the revision alone.
    items[0]->setMetadataJSON(QByteArray(R"({"description":"barn"})"));
    EXPECT_EQ(items[0]->searchRevision(), after[0]);

    index.follow(items);
    EXPECT_EQ(index.slotCount(), 54u);
    EXPECT_EQ(itemsHolding(index, "garden"), 51u);
    EXPECT_EQ(itemsHolding(index, "shed"), 1u);
}

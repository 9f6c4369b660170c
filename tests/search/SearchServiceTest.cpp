#include "Eventually.h"
#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>
#include <search/SearchService.h>

#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<const std::vector<Item *>> shared(std::vector<Item *> items)
{
    return std::make_shared<const std::vector<Item *>>(std::move(items));
}

class SearchServiceTest : public ::testing::Test
{
protected:
    SearchServiceTest()
        : m_settings(m_dir.filePath(u"s.ini"_s), QSettings::IniFormat), m_search(&m_settings)
    {
    }

    Item *add(const QString &title, const std::optional<QString> &note = std::nullopt,
              const std::optional<QUrl> &url = std::nullopt)
    {
        m_items.push_back(std::make_unique<Item>(ItemType::WebLink, title, url, note));
        return m_items.back().get();
    }
    Tag *tag(const QString &name)
    {
        m_tags.push_back(std::make_unique<Tag>(name, QColor()));
        return m_tags.back().get();
    }
    std::vector<Item *> all() const
    {
        std::vector<Item *> v;
        for (const auto &i : m_items)
            v.push_back(i.get());
        return v;
    }
    std::vector<Item *> query(const std::vector<Item *> &list, const QString &q)
    {
        return m_search.filter(list, q, {}, std::nullopt, false, nullptr, false);
    }
    std::vector<Item *> query(const QString &q) { return query(all(), q); }
    std::optional<std::vector<Item *>> defer(const QString &q, SearchService::Delivery later)
    {
        return m_search.filterOrDefer(this, shared(all()), q, {}, std::nullopt, false, false,
                                      std::move(later));
    }
    // Texts long enough that copying them into the index takes several event-loop passes.
    void addLong(int count, qsizetype fill = 400, const QString &prefix = u"garden "_s)
    {
        const QString filler(fill, u'x');
        for (int i = 0; i < count; ++i)
            add(prefix + filler + QString::number(i));
    }

    QTemporaryDir m_dir;
    QSettings m_settings;
    SearchService m_search;
    std::vector<std::unique_ptr<Tag>> m_tags; // destroyed after the items
    std::vector<std::unique_ptr<Item>> m_items;
};

// Runs the event loop until `arrived` holds or ten seconds pass.
bool waitFor(const std::optional<std::vector<Item *>> &arrived)
{
    return QTest::qWaitFor([&arrived] { return arrived.has_value(); }, 10000);
}

SearchService::Delivery into(std::optional<std::vector<Item *>> &arrived)
{
    return [&arrived](std::vector<Item *> found) { arrived = std::move(found); };
}

int score(const Item &item, const char *q)
{
    return SearchService::relevanceScore(item, QString::fromUtf8(q));
}

// The scoring rules written as plainly as possible, to check the fast scorer against.
int referenceScore(const Item &item, const QString &query)
{
    const QString q = query.toLower();
    const QStringList words = q.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto has = [](const QString &text, const QString &needle) {
        return text.toLower().contains(needle);
    };
    const auto countWords = [&](const QString &text) {
        return int(std::count_if(words.cbegin(), words.cend(),
                                 [&](const QString &w) { return has(text, w); }));
    };
    int score = 0;
    if (has(item.title(), q))
        score += item.title().toLower().startsWith(q) ? 150 : 100;
    else if (countWords(item.title()) == words.size())
        score += 60;
    if (item.note())
        score += has(*item.note(), q) ? 40 : 10 * countWords(*item.note());
    for (const Tag *tag : item.tags())
        score += (has(tag->name(), q) ? 30 : 0) + 15 * countWords(tag->name());
    if (item.sourceDomain() && has(*item.sourceDomain(), q))
        score += 20;
    if (item.urlString() && has(*item.urlString(), q))
        score += 10;
    return score;
}

} // namespace

TEST_F(SearchServiceTest, ScoresAgreeWithThePlainRules)
{
    const QStringList vocabulary{u"ab"_s, u"ba"_s, u"abc"_s, u"c"_s, u"Äb"_s, u"b a"_s, u"aa"_s};
    QRandomGenerator random(7);
    const auto phrase = [&](int maxWords) {
        QStringList parts;
        const int n = int(random.bounded(maxWords + 1));
        for (int i = 0; i < n; ++i)
            parts << vocabulary[int(random.bounded(qsizetype(vocabulary.size())))];
        return parts.join(random.bounded(2) ? u" "_s : QString());
    };
    std::vector<Tag *> pool;
    for (int i = 0; i < 6; ++i)
        pool.push_back(tag(phrase(2)));
    for (int i = 0; i < 400; ++i) {
        Item *item =
            add(phrase(4), random.bounded(2) ? std::optional<QString>(phrase(4)) : std::nullopt,
                random.bounded(2)
                    ? std::optional<QUrl>(QUrl(u"https://"_s + phrase(1).remove(QLatin1Char(' ')) +
                                               u".example/"_s + phrase(2).remove(QLatin1Char(' '))))
                    : std::nullopt);
        for (int t = int(random.bounded(3)); t > 0; --t)
            item->addTag(pool[size_t(random.bounded(6))]);
    }
    for (int round = 0; round < 60; ++round) {
        const QString q = phrase(3).toLower();
        for (const auto &item : m_items)
            ASSERT_EQ(SearchService::relevanceScore(*item, q), referenceScore(*item, q))
                << qPrintable(q) << " / " << qPrintable(item->title()) << " / "
                << qPrintable(item->note().value_or(QString()));
    }
}

TEST_F(SearchServiceTest, WorkedScores)
{
    EXPECT_EQ(score(*add(u"GardenTools list"_s), "garden tools"), 60);
    EXPECT_EQ(score(*add(u"Garden tools basics"_s), "garden tools"), 150);
    EXPECT_EQ(score(*add(u"Best garden tools"_s), "garden tools"), 100);
    EXPECT_EQ(score(*add(u"Cooking"_s, u"garden and tools notes"_s), "garden tools"), 20);
    Item *tagged = add(u"Cooking"_s);
    tagged->addTag(tag(u"garden"_s));
    EXPECT_EQ(score(*tagged, "garden tools"), 15);
    EXPECT_EQ(score(*tagged, "garden"), 45);
    EXPECT_EQ(score(*add(u"Garden"_s), "ga"), 150);
    EXPECT_EQ(score(*add(u"Rose garden"_s), "ga"), 100);
    EXPECT_EQ(
        score(*add(u"Nothing"_s, std::nullopt, QUrl(u"https://gallery.example/x"_s)), "gallery"),
        30);
    EXPECT_EQ(score(*add(u"Nothing here"_s), "garden"), 0);
}

TEST_F(SearchServiceTest, ScoringDetails)
{
    // The note counts the whole query once, else each word it holds.
    EXPECT_EQ(score(*add(u"x"_s, u"about garden tools"_s), "garden tools"), 40);
    // Only U+0020 separates words: a tab stays inside the word.
    EXPECT_EQ(score(*add(u"x"_s, u"garden and tools"_s), "garden\ttools"), 0);
    // Repeated spaces give no empty words.
    EXPECT_EQ(score(*add(u"Tools for the garden"_s), "garden   tools"), 60);
    // Case is folded on both sides; accents are not.
    EXPECT_EQ(score(*add(u"CAFÉ Review"_s), "café"), 150);
    EXPECT_EQ(score(*add(u"Cafe Review"_s), "café"), 0);
    // A tag scores the whole query and each word independently.
    Item *item = add(u"x"_s);
    item->addTag(tag(u"garden tools"_s));
    item->addTag(tag(u"tools"_s));
    EXPECT_EQ(score(*item, "garden tools"), 30 + 15 + 15 + 15);
    // Matches never span two fields.
    EXPECT_EQ(score(*add(u"garden"_s, u"tools"_s), "garden tools"), 10);
}

TEST_F(SearchServiceTest, ShortQueriesDoNotFilter)
{
    add(u"banana"_s);
    add(u"cherry"_s);
    for (const char *q : {"", "a", "  a  ", "     ", "\n\t", "é", "e\u0301"})
        EXPECT_EQ(query(QString::fromUtf8(q)), all()) << q;
}

TEST_F(SearchServiceTest, TextStepKeepsPositiveScoresByScoreThenInputOrder)
{
    Item *contains = add(u"Best garden"_s);
    Item *none = add(u"Nothing"_s);
    Item *starts = add(u"Garden party"_s);
    Item *containsToo = add(u"My garden"_s);
    Item *noteOnly = add(u"Other"_s, u"garden"_s);
    Q_UNUSED(none);
    EXPECT_EQ(query(u"  GARDEN\n"_s),
              (std::vector<Item *>{starts, contains, containsToo, noteOnly}));
}

TEST_F(SearchServiceTest, AttributeFilters)
{
    Folder folder(u"F"_s, QString(), QColor());
    Folder sub(u"Sub"_s, QString(), QColor(), &folder);
    Tag *a = tag(u"A"_s);
    Tag *b = tag(u"B"_s);
    Tag *c = tag(u"C"_s);

    Item *archived = add(u"archived"_s);
    archived->toggleArchive();
    Item *inFolder = add(u"in folder"_s);
    inFolder->moveToFolder(&folder);
    Item *inSub = add(u"in sub"_s);
    inSub->moveToFolder(&sub);
    Item *favorite = add(u"favorite"_s);
    favorite->toggleFavorite();
    Item *video = add(u"video"_s);
    video->setTypeRawValue(u"video"_s);
    Item *unknownKind = add(u"unknown"_s);
    unknownKind->setTypeRawValue(u"hologram"_s);
    Item *tagA = add(u"A only"_s);
    tagA->addTag(a);
    Item *tagABC = add(u"A B C"_s);
    tagABC->addTag(c);
    tagABC->addTag(a);
    tagABC->addTag(b);

    const auto run = [&](const QList<Tag *> &tags, std::optional<ItemType> type, bool favorites,
                         const Folder *f, bool archivedToo) {
        return m_search.filter(all(), QString(), tags, type, favorites, f, archivedToo);
    };
    EXPECT_EQ(run({}, std::nullopt, false, nullptr, false).size(), m_items.size() - 1);
    EXPECT_EQ(run({}, std::nullopt, false, nullptr, true).size(), m_items.size());
    EXPECT_EQ(run({}, std::nullopt, false, &folder, false), std::vector<Item *>{inFolder})
        << "direct members only";
    EXPECT_EQ(run({}, std::nullopt, true, nullptr, false), std::vector<Item *>{favorite});
    EXPECT_EQ(run({}, ItemType::Video, false, nullptr, false), std::vector<Item *>{video});
    const auto webLinks = run({}, ItemType::WebLink, false, nullptr, false);
    EXPECT_NE(std::find(webLinks.begin(), webLinks.end(), unknownKind), webLinks.end());
    EXPECT_EQ(run({a, b}, std::nullopt, false, nullptr, false), std::vector<Item *>{tagABC});
    EXPECT_EQ(run({a}, std::nullopt, false, nullptr, false), (std::vector<Item *>{tagA, tagABC}));

    // A distinct tag record carrying A's id selects the same items.
    Tag copyOfA(u"copy"_s, QColor());
    copyOfA.setId(a->id());
    EXPECT_EQ(run({&copyOfA}, std::nullopt, false, nullptr, false),
              (std::vector<Item *>{tagA, tagABC}));
}

// What filter() must return: every item scored on its own, in list order, archived ones
// left out, then ordered by score (the test texts are one character per grapheme, so a
// query shorter than two characters filters nothing).
std::vector<Item *> expectedResult(const std::vector<Item *> &items, const QString &q,
                                   bool favoritesOnly)
{
    const bool scores = q.trimmed().size() >= 2;
    std::vector<std::pair<int, Item *>> scored;
    for (Item *item : items) {
        if (item->isArchived() || (favoritesOnly && !item->isFavorite()))
            continue;
        const int s = scores ? SearchService::relevanceScore(*item, q.trimmed()) : 1;
        if (s > 0)
            scored.emplace_back(s, item);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto &x, const auto &y) { return x.first > y.first; });
    std::vector<Item *> result;
    for (const auto &entry : scored)
        result.push_back(entry.second);
    return result;
}

TEST_F(SearchServiceTest, LargeListsGiveTheSameResultAsScoringEachItem)
{
    // Enough items to take the two-thread path, and more tags than the index has tag bits,
    // some of which score for the queries, so that items match by a tag alone.
    const QStringList words{u"alpha"_s, u"beta"_s, u"gamma"_s, u"delta"_s, u"garden"_s, u"tools"_s};
    std::vector<Tag *> tags;
    for (int t = 0; t < 40; ++t)
        tags.push_back(tag((t % 3 == 0 ? u"garden"_s : u"shed"_s) + QString::number(t)));
    for (int i = 0; i < 30000; ++i) {
        const QString title = words[i % 6] + QLatin1Char(' ') + words[(i / 6) % 6] +
                              QLatin1Char(' ') + QString::number(i);
        Item *item =
            add(title, i % 3 == 0 ? std::optional<QString>(words[(i / 36) % 6]) : std::nullopt);
        if (i % 2 == 0)
            item->addTag(tags[size_t(i * 7 % 40)]);
        if (i % 5 == 0)
            item->addTag(tags[size_t(i * 11 % 40)]);
    }
    for (const QString &q : {u"garden tools"_s, u"garden"_s, u"shed"_s})
        ASSERT_EQ(query(q), expectedResult(all(), q, false)) << qPrintable(q);
}

TEST_F(SearchServiceTest, RepeatedSearchesFollowEveryKindOfChange)
{
    // Short words from a small alphabet, so that most queries match something and words
    // recur across fields, items and tags.
    const QStringList vocabulary{u"ab"_s, u"ba"_s, u"abc"_s, u"cab"_s, u"Äb"_s,
                                 u"bc"_s, u"aa"_s, u"a"_s,   u"caba"_s};
    QRandomGenerator random(11);
    const auto pick = [&] { return vocabulary[int(random.bounded(qsizetype(vocabulary.size())))]; };
    const auto phrase = [&](int maxWords) {
        QStringList parts;
        for (int n = int(random.bounded(maxWords + 1)); n > 0; --n)
            parts << pick();
        return parts.join(random.bounded(3) ? u" "_s : QString());
    };
    const auto newItem = [&] {
        Item *item =
            add(phrase(3), random.bounded(2) ? std::optional<QString>(phrase(4)) : std::nullopt);
        if (random.bounded(2))
            item->setUrlString(u"https://"_s + pick() + u".example/"_s + pick());
        return item;
    };
    std::vector<Tag *> tags;
    for (int i = 0; i < 5; ++i)
        tags.push_back(tag(phrase(2)));
    for (int i = 0; i < 600; ++i)
        newItem();

    SearchService other(&m_settings); // keeps its own index of the same items
    const auto listOf = [&](int shape) {
        std::vector<Item *> list = all();
        if (shape == 0) // a folder's worth
            list.resize(list.size() / 3);
        else if (shape == 1) // the same items in another order
            std::reverse(list.begin(), list.end());
        return list;
    };
    for (int round = 0; round < 300; ++round) {
        const int shape = int(random.bounded(6));
        const QString q = random.bounded(8) == 0 ? u"a b c ab ba bc cab aa abc"_s // nine words
                                                 : phrase(3);
        const bool favorites = random.bounded(5) == 0;
        SearchService &search = random.bounded(3) == 0 ? other : m_search;
        const auto check = [&](const char *when) {
            const std::vector<Item *> list = listOf(shape);
            ASSERT_EQ(search.filter(list, q, {}, std::nullopt, favorites, nullptr, false),
                      expectedResult(list, q, favorites))
                << when << ", round " << round << ", query " << qPrintable(q);
        };
        // The same search before and after one change, so the index must see that change.
        check("before");
        Item *item = m_items[size_t(random.bounded(qsizetype(m_items.size())))].get();
        switch (random.bounded(9)) {
        case 0:
            item->setTitle(phrase(3));
            break;
        case 1:
            item->setNote(random.bounded(2) ? std::optional<QString>(phrase(3)) : std::nullopt);
            break;
        case 2:
            item->toggleArchive();
            break;
        case 3:
            item->addTag(tags[size_t(random.bounded(qsizetype(tags.size())))]);
            break;
        case 4:
            if (!item->tags().isEmpty())
                item->removeTag(*item->tags().front());
            break;
        case 5:
            tags[size_t(random.bounded(qsizetype(tags.size())))]->setName(phrase(2));
            break;
        case 6: // deleted: its address may be given to the next new item
            m_items.erase(m_items.begin() + qsizetype(random.bounded(qsizetype(m_items.size()))));
            newItem();
            break;
        case 7:
            item->toggleFavorite();
            break;
        default:
            item->setUrlString(u"https://"_s + pick() + u".example"_s);
            break;
        }
        check("after");
    }
}

TEST_F(SearchServiceTest, LongTextsSearchedInHalvesFindTheSameItems)
{
    // Several megabytes of text, so the scan is split between two threads; the words sit at
    // both ends of the texts and near where the halves meet.
    const QString filler(300, u'x');
    for (int i = 0; i < 20000; ++i) {
        const QString mark = (i % 7 == 0) ? u"garden "_s : QString();
        add(mark + filler + QString::number(i),
            i % 5 == 0 ? std::optional<QString>(filler + u" tools"_s) : std::nullopt);
    }
    for (const QString &q : {u"garden tools"_s, u"x1"_s, u"999"_s, u"xx"_s}) {
        const std::vector<Item *> items = all();
        ASSERT_EQ(query(q), expectedResult(items, q, false)) << qPrintable(q);
    }
}

TEST_F(SearchServiceTest, RecentSearchesLoadAsStoredAndSave)
{
    EXPECT_TRUE(m_search.recentSearches().isEmpty());
    m_settings.setValue(u"recentSearches"_s, QStringList{u" padded "_s, u"b"_s});
    SearchService loaded(&m_settings);
    EXPECT_EQ(loaded.recentSearches(), (QStringList{u" padded "_s, u"b"_s}));

    QSignalSpy changed(&loaded, &SearchService::recentSearchesChanged);
    loaded.addRecentSearch(u"b"_s);
    EXPECT_EQ(loaded.recentSearches(), (QStringList{u"b"_s, u" padded "_s}));
    EXPECT_EQ(changed.count(), 1);
    // The same search typed in another case is one search, kept as last typed.
    loaded.addRecentSearch(u"PADDED"_s);
    EXPECT_EQ(loaded.recentSearches(), (QStringList{u"PADDED"_s, u"b"_s}));
    for (int i = 0; i < 20; ++i)
        loaded.addRecentSearch(QString::number(i));
    EXPECT_EQ(loaded.recentSearches().size(), SearchService::recentSearchesLimit);
    EXPECT_EQ(m_settings.value(u"recentSearches"_s).toStringList(), loaded.recentSearches());
    loaded.clearRecentSearches();
    EXPECT_TRUE(m_settings.value(u"recentSearches"_s).toStringList().isEmpty());

    // A settings file edited by hand holds any number of them; only the limit is offered.
    QStringList many;
    for (int i = 0; i < 10000; ++i)
        many << QString::number(i);
    m_settings.setValue(u"recentSearches"_s, many);
    EXPECT_EQ(SearchService(&m_settings).recentSearches(),
              many.mid(0, SearchService::recentSearchesLimit));
}

TEST_F(SearchServiceTest, QuerySettlesAfterTypingPauses)
{
    QSignalSpy settled(&m_search, &SearchService::debouncedQueryChanged);
    m_search.setSearchQuery(u"ga"_s);
    m_search.setSearchQuery(u"garden"_s);
    EXPECT_EQ(m_search.debouncedQuery(), QString());
    ASSERT_EVENTUALLY((m_search.debouncedQuery()) == (u"garden"_s), 5000);
    EXPECT_EQ(settled.count(), 1);
}

TEST_F(SearchServiceTest, DeferredSearchesFindWhatSearchingAtOnceFinds)
{
    const QStringList vocabulary{u"ab"_s, u"ba"_s, u"abc"_s, u"cab"_s, u"bc"_s, u"aa"_s};
    QRandomGenerator random(5);
    const auto pick = [&] { return vocabulary[int(random.bounded(qsizetype(vocabulary.size())))]; };
    std::vector<Tag *> tags;
    for (int i = 0; i < 4; ++i)
        tags.push_back(tag(pick()));
    const QList<ItemType> kinds{ItemType::WebLink, ItemType::Video, ItemType::Document};
    // One change at a time, so that none hides another from the index.
    const auto reshape = [&](Item *item) {
        switch (random.bounded(4)) {
        case 0:
            item->toggleFavorite();
            break;
        case 1:
            item->toggleArchive();
            break;
        case 2:
            item->addTag(tags[size_t(random.bounded(qsizetype(tags.size())))]);
            break;
        default:
            item->setTypeRawValue(kinds[int(random.bounded(qsizetype(kinds.size())))].rawValue());
            break;
        }
    };
    for (int i = 0; i < 800; ++i) {
        Item *item =
            add(pick() + u' ' + pick(), random.bounded(2) ? std::optional(pick()) : std::nullopt);
        for (int n = 0; n < 3; ++n)
            reshape(item);
    }

    m_search.setBackgroundThreshold(0);
    int deferred = 0;
    for (int round = 0; round < 150; ++round) {
        const QString q = pick() + (random.bounded(2) ? u' ' + pick() : QString());
        QList<Tag *> wanted;
        if (random.bounded(3) == 0)
            wanted << tags[size_t(random.bounded(qsizetype(tags.size())))];
        const std::optional<ItemType> kind =
            random.bounded(3) == 0 ? std::optional(kinds[int(random.bounded(3))]) : std::nullopt;
        const bool favorites = random.bounded(3) == 0;
        const bool archivedToo = random.bounded(3) == 0;
        const std::vector<Item *> items = all();

        std::optional<std::vector<Item *>> arrived;
        std::optional<std::vector<Item *>> returned = m_search.filterOrDefer(
            this, shared(items), q, wanted, kind, favorites, archivedToo, into(arrived));
        if (!returned) {
            ++deferred;
            EXPECT_TRUE(m_search.isSearching());
            ASSERT_TRUE(waitFor(arrived)) << "round " << round;
            returned = arrived;
        }
        EXPECT_FALSE(m_search.isSearching());
        SearchService atOnce(&m_settings); // its index is made from the items as they are now
        ASSERT_EQ(*returned, atOnce.filter(items, q, wanted, kind, favorites, nullptr, archivedToo))
            << "round " << round << ", query " << qPrintable(q);
        // Without a query the index answers from what it keeps while it follows the list; the
        // filters read from the items themselves must agree, before a change and after it.
        const auto unqueried = [&] {
            std::vector<Item *> passing;
            for (Item *item : items) {
                if ((archivedToo || !item->isArchived()) && (!favorites || item->isFavorite()) &&
                    (!kind || item->type() == *kind) &&
                    std::all_of(wanted.cbegin(), wanted.cend(),
                                [item](const Tag *t) { return item->hasTag(*t); }))
                    passing.push_back(item);
            }
            return m_search.filter(items, QString(), wanted, kind, favorites, nullptr,
                                   archivedToo) == passing;
        };
        ASSERT_TRUE(unqueried()) << "round " << round;
        // What the worker reads comes from the index: it must follow these changes too.
        reshape(m_items[size_t(random.bounded(qsizetype(m_items.size())))].get());
        ASSERT_TRUE(unqueried()) << "round " << round << ", after a change";
    }
    EXPECT_EQ(deferred, 150);
}

// A tag deleted after a search stays among the index's tags until it walks a list again: a
// filter without a query must not read it meanwhile (AddressSanitizer tells if it does).
TEST_F(SearchServiceTest, AFilterWithoutAQueryReadsNoTagDeletedSince)
{
    Tag *doomed = tag(u"doomed"_s);
    for (int i = 0; i < 50; ++i) {
        Item *item = add(u"garden "_s + QString::number(i));
        if (i % 2 == 0)
            item->addTag(doomed);
    }
    ASSERT_EQ(query(u"garden"_s).size(), 50u); // the index follows the list, tags and all
    for (const auto &item : m_items)
        item->removeTag(*doomed);
    m_tags.clear();
    EXPECT_EQ(query(QString()).size(), 50u);
}

TEST_F(SearchServiceTest, ANewerOrCancelledSearchHandsNothingOver)
{
    for (int i = 0; i < 3000; ++i)
        add(u"garden tools "_s + QString::number(i));
    m_search.setBackgroundThreshold(0);
    int firstCalls = 0;
    std::optional<std::vector<Item *>> second;
    ASSERT_FALSE(defer(u"garden"_s, [&](std::vector<Item *>) { ++firstCalls; }));
    ASSERT_FALSE(defer(u"tools 12"_s, into(second)));
    ASSERT_TRUE(waitFor(second));
    const std::vector<Item *> expected = query(u"tools 12"_s);
    EXPECT_EQ(*second, expected);
    QTest::qWait(50);
    EXPECT_EQ(firstCalls, 0);

    // Cancelled by its requester, or by anyone's search of the index made at once.
    ASSERT_FALSE(defer(u"garden"_s, [&](std::vector<Item *>) { ++firstCalls; }));
    m_search.cancelDeferred(this);
    EXPECT_FALSE(m_search.isSearching());
    ASSERT_FALSE(defer(u"garden"_s, [&](std::vector<Item *>) { ++firstCalls; }));
    EXPECT_EQ(query(u"tools 12"_s), expected);
    QTest::qWait(50);
    EXPECT_EQ(firstCalls, 0);

    // Another requester's cancel leaves it running.
    second.reset();
    ASSERT_FALSE(defer(u"tools 12"_s, into(second)));
    int other = 0;
    m_search.cancelDeferred(&other);
    EXPECT_TRUE(waitFor(second));
}

TEST_F(SearchServiceTest, AnItemDestroyedWhileTheListIsFollowedEndsTheSearch)
{
    addLong(40000);
    m_search.setBackgroundThreshold(0);
    bool called = false;
    ASSERT_FALSE(defer(u"garden 7"_s, [&](std::vector<Item *>) { called = true; }));
    EXPECT_TRUE(m_search.isSearching());
    QCoreApplication::processEvents(); // one slice
    m_items.pop_back();
    QTest::qWait(100);
    EXPECT_FALSE(called);
    EXPECT_FALSE(m_search.isSearching());

    // Asked again, it finishes copying and searches.
    std::optional<std::vector<Item *>> arrived;
    ASSERT_FALSE(defer(u"garden 7"_s, into(arrived)));
    ASSERT_TRUE(waitFor(arrived));
    EXPECT_EQ(*arrived, query(u"garden 7"_s));
}

TEST_F(SearchServiceTest, AChangeWhileTheListIsFollowedIsSearchedToo)
{
    addLong(40000);
    m_search.setBackgroundThreshold(0);
    std::optional<std::vector<Item *>> arrived;
    ASSERT_FALSE(defer(u"garden 7"_s, into(arrived)));
    QCoreApplication::processEvents(); // one slice
    ASSERT_FALSE(arrived);
    // Both behind and ahead of where the walk has got to.
    m_items.front()->setTitle(u"garden 7 at the front"_s);
    m_items.back()->toggleArchive();
    m_items[20000]->setNote(u"Garden 7"_s);
    ASSERT_TRUE(waitFor(arrived));
    SearchService fresh(&m_settings);
    EXPECT_EQ(*arrived,
              fresh.filter(all(), u"garden 7"_s, {}, std::nullopt, false, nullptr, false));
    EXPECT_EQ(arrived->front(), m_items.front().get());
}

TEST_F(SearchServiceTest, ShortListsAndQueriesAreFilteredAtOnce)
{
    for (int i = 0; i < 100; ++i)
        add(u"garden "_s + QString::number(i));
    const auto never = [](std::vector<Item *>) { ADD_FAILURE() << "deferred"; };
    // Below the threshold, and without a query, nothing waits.
    EXPECT_EQ(defer(u"garden 1"_s, never)->size(), 19u); // 1, 10 to 19, 21, 31 and so on
    m_search.setBackgroundThreshold(0);
    EXPECT_EQ(defer(u" g "_s, never)->size(), 100u);
    QTest::qWait(20);
}

TEST_F(SearchServiceTest, ASearchStillRunningWhenTheServiceGoesIsDropped)
{
    addLong(20000, 200, QString());
    bool called = false;
    {
        SearchService shortLived(&m_settings);
        shortLived.setBackgroundThreshold(0);
        ASSERT_FALSE(shortLived.filterOrDefer(this, shared(all()), u"x1"_s, {}, std::nullopt, false,
                                              false, [&](std::vector<Item *>) { called = true; }));
    }
    QTest::qWait(50);
    EXPECT_FALSE(called);
}

namespace {

bool waitForPreparedIndex(const SearchService &search)
{
    return QTest::qWaitFor([&search] { return !search.isPreparingIndex(); }, 10000);
}

std::vector<Item *> withWord(const std::vector<Item *> &items, const QString &word)
{
    std::vector<Item *> found;
    for (Item *item : items) {
        if (referenceScore(*item, word) > 0)
            found.push_back(item);
    }
    return found;
}

std::vector<Item *> sorted(std::vector<Item *> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

} // namespace

TEST_F(SearchServiceTest, TheIndexHoldsTheSearchTextsOfALibraryReadFromItsStore)
{
    const QString path = m_dir.filePath(u"lib.store"_s);
    QString error;
    {
        auto store = LibraryStore::open(path, &error);
        for (int i = 0; i < 300; ++i)
            store->insert(std::make_unique<Item>(
                ItemType::WebLink, (i % 7 == 0 ? u"Compost "_s : u"Garden "_s) + QString::number(i),
                QUrl(u"https://soil.example/"_s + QString::number(i))));
    }
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store);
    const std::vector<Item *> items(store->items().cbegin(), store->items().cend());
    // Read from the store, they are searchable at once: no event loop has run, so nothing
    // was prepared ahead of this search.
    ASSERT_EQ(query(items, u"compost"_s).size(), 43u);
    // Whatever the index held before is forgotten: the library's list is not searched as
    // one much shorter than the index.
    for (int i = 0; i < 1000; ++i)
        add(u"Elsewhere "_s + QString::number(i));
    ASSERT_EQ(query(u"elsewhere"_s).size(), 1000u);
    m_search.prepareIndex(items);
    ASSERT_TRUE(waitForPreparedIndex(m_search));

    const auto found = query(items, u"compost"_s);
    EXPECT_EQ(sorted(found), sorted(withWord(items, u"compost"_s)));
    EXPECT_EQ(found.size(), 43u);
    // Searched from the index, the texts were built only to be copied there.
    EXPECT_TRUE(std::none_of(items.cbegin(), items.cend(),
                             [](const Item *item) { return item->isSearchTextReady(); }));

    // A list much shorter than the index is read item by item: its items keep their texts,
    // under the revision the index copied, so the index need not copy them again.
    Item *first = items.front();
    const quint64 revision = first->searchRevision();
    EXPECT_NE(revision, 0u);
    EXPECT_EQ(query({first}, u"compost"_s), std::vector<Item *>{first});
    EXPECT_TRUE(first->isSearchTextReady());
    EXPECT_EQ(first->searchRevision(), revision);

    // An edit drops the kept text and moves the revision on; both ways of searching follow.
    first->setTitle(u"Leaf mould"_s);
    EXPECT_FALSE(first->isSearchTextReady());
    EXPECT_NE(first->searchRevision(), revision);
    EXPECT_TRUE(query({first}, u"compost"_s).empty());
    EXPECT_EQ(query(items, u"mould"_s), std::vector<Item *>{first});
    EXPECT_EQ(query(items, u"compost"_s).size(), 42u);
    EXPECT_EQ(SearchService::relevanceScore(*first, u"soil"_s), 30);
}

TEST_F(SearchServiceTest, AnIndexMostlyOfDeletedItemsIsBuiltAgainForWhatIsLeft)
{
    for (int i = 0; i < 6000; ++i)
        add((i % 2 == 0 ? u"Orchard "_s : u"Meadow "_s) + QString::number(i));
    ASSERT_EQ(query(u"orchard"_s).size(), 3000u);
    // Two thirds deleted: the index holds twice as many slots as the list has items, the
    // shape of one folder of a large library, yet the list is all that is left of it.
    m_items.erase(m_items.begin(), m_items.begin() + 4000);
    const auto found = query(u"orchard"_s);
    EXPECT_EQ(found.size(), 1000u);
    // Searched from the index again (built anew), not item by item, which would keep a
    // text of its own for every item.
    EXPECT_TRUE(std::none_of(m_items.cbegin(), m_items.cend(),
                             [](const auto &item) { return item->isSearchTextReady(); }));
}

TEST_F(SearchServiceTest, PreparingTheIndexGivesWayToSearchesAndDeletions)
{
    addLong(40000);

    m_search.prepareIndex(all());
    QCoreApplication::processEvents(); // one slice
    ASSERT_TRUE(m_search.isPreparingIndex());
    // A search takes the index over and copies the rest itself.
    const auto found = query(u"garden 7"_s);
    EXPECT_FALSE(m_search.isPreparingIndex());
    EXPECT_EQ(sorted(found), sorted(withWord(all(), u"garden 7"_s)));

    // A deferred search does too, and finds the same.
    m_items.front()->setTitle(u"garden 7 first"_s);
    m_search.setBackgroundThreshold(0);
    m_search.prepareIndex(all());
    QCoreApplication::processEvents();
    std::optional<std::vector<Item *>> arrived;
    ASSERT_FALSE(defer(u"garden 7"_s, into(arrived)));
    EXPECT_FALSE(m_search.isPreparingIndex());
    ASSERT_TRUE(waitFor(arrived));
    EXPECT_EQ(arrived->front(), m_items.front().get());
    EXPECT_EQ(sorted(*arrived), sorted(withWord(all(), u"garden 7"_s)));

    // An item destroyed while the index is prepared ends the preparation: the list it was
    // given holds a dangling pointer now.
    for (int i = 0; i < 40000; i += 2)
        m_items[size_t(i)]->setNote(u"renamed"_s); // something left to copy
    m_search.prepareIndex(all());
    QCoreApplication::processEvents();
    ASSERT_TRUE(m_search.isPreparingIndex());
    m_items.pop_back();
    ASSERT_TRUE(waitForPreparedIndex(m_search));
    EXPECT_EQ(sorted(query(u"renamed"_s)), sorted(withWord(all(), u"renamed"_s)));
}

#include <FaultyDisk.h>
#include <duplicates/DuplicateFinder.h>
#include <duplicates/DuplicateMerger.h>
#include <duplicates/WebAddressKey.h>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <model/Tag.h>

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

struct SamePage
{
    const char16_t *a;
    const char16_t *b;
    bool same;
};

class DuplicatesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QString error;
        m_store = LibraryStore::open(m_dir.filePath(u"library.store"_s), &error);
        ASSERT_TRUE(m_store) << error.toStdString();
    }

    Item *link(const QString &url, qint64 created)
    {
        auto item = std::make_unique<Item>(ItemType::WebLink, url, QUrl(url));
        item->setCreatedAt(QDateTime::fromMSecsSinceEpoch(created, Qt::UTC));
        return m_store->insert(std::move(item));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<LibraryStore> m_store;
};

} // namespace

TEST(WebAddressKeyTest, AddressesOfOnePageShareAKeyAndOthersDoNot)
{
    const std::vector<SamePage> cases{
        // Scheme and host case, http and https.
        {u"HTTPS://Example.COM/Page", u"https://example.com/Page", true},
        {u"http://example.com/a", u"https://example.com/a", true},
        {u"https://example.com/Page", u"https://example.com/page", false}, // paths keep case
        // Default ports only.
        {u"https://example.com:443/a", u"https://example.com/a", true},
        {u"http://example.com:80/a", u"https://example.com/a", true},
        {u"https://example.com:8443/a", u"https://example.com/a", false},
        {u"http://example.com:443/a", u"https://example.com/a", false},
        // www., trailing slash, fragment.
        {u"https://www.example.com/a", u"https://example.com/a", true},
        {u"https://www2.example.com/a", u"https://example.com/a", false},
        {u"https://example.com/a/", u"https://example.com/a", true},
        {u"https://example.com/", u"https://example.com", true},
        {u"https://example.com/a#part-2", u"https://example.com/a", true},
        {u"https://example.com/a/b", u"https://example.com/a", false},
        // Tracking parameters go, others stay, in any order.
        {u"https://example.com/a?utm_source=x&utm_medium=y", u"https://example.com/a", true},
        {u"https://example.com/a?UTM_Campaign=x", u"https://example.com/a", true},
        {u"https://example.com/a?fbclid=1&gclid=2&msclkid=3", u"https://example.com/a", true},
        {u"https://example.com/a?id=7&utm_source=x", u"https://example.com/a?id=7", true},
        {u"https://example.com/a?b=2&a=1", u"https://example.com/a?a=1&b=2", true},
        {u"https://example.com/a?id=7", u"https://example.com/a?id=8", false},
        {u"https://example.com/a?id=7", u"https://example.com/a", false},
        {u"https://example.com/a?", u"https://example.com/a", true},
        {u"https://example.com/watch?v=abc&t=10", u"https://example.com/watch?v=abc", false},
        // Other schemes as written.
        {u"mailto:ann@example.com", u"MAILTO:ann@example.com", true},
        {u"mailto:ann@example.com", u"mailto:Ann@example.com", false},
        {u"file:///home/ann/a.pdf", u"file:///home/ann/a.pdf", true},
        {u"  https://example.com/a  ", u"https://example.com/a", true},
    };
    for (const auto &[a, b, same] : cases) {
        const QString keyA = WebAddressKey::of(QStringView(a));
        const QString keyB = WebAddressKey::of(QStringView(b));
        EXPECT_EQ(keyA == keyB, same) << QStringView(a).toString().toStdString() << " / "
                                      << QStringView(b).toString().toStdString() << ": "
                                      << keyA.toStdString() << " / " << keyB.toStdString();
    }
    EXPECT_EQ(WebAddressKey::of(u""), QString());
    EXPECT_EQ(WebAddressKey::of(u"not an address"), u"not an address"_s);
}

TEST_F(DuplicatesTest, GroupsHoldItemsOfOnePageOldestFirst)
{
    Item *later = link(u"https://www.example.com/a/?utm_source=feed"_s, 3000);
    Item *first = link(u"https://example.com/a"_s, 1000);
    Item *other = link(u"https://example.com/b"_s, 2000);
    Item *secondA = link(u"http://example.com/b#top"_s, 500);
    m_store->insert(std::make_unique<Item>(ItemType::Document, u"no address"_s));
    Item *noAddress =
        m_store->insert(std::make_unique<Item>(ItemType::Document, u"no address either"_s));
    // Items of one file path each keep their own copy of what was there when it was added.
    Item *file = link(u"file:///home/ann/Downloads/image.png"_s, 100);
    link(u"FILE:///home/ann/Downloads/image.png"_s, 200);
    link(u"file:///home/ann/Downloads/image.png"_s, 300);

    const auto groups = DuplicateFinder::groups(m_store->items());
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0], (DuplicateFinder::Group{secondA, other}));
    EXPECT_EQ(groups[1], (DuplicateFinder::Group{first, later}));
    EXPECT_EQ(DuplicateFinder::sameAs(*later, m_store->items()), (DuplicateFinder::Group{first}));
    EXPECT_TRUE(DuplicateFinder::sameAs(*noAddress, m_store->items()).empty());
    EXPECT_TRUE(DuplicateFinder::sameAs(*file, m_store->items()).empty());
}

// Asking about one item looks closely only at addresses naming its host; what it finds must
// still be exactly the item's group, however the host is spelled.
TEST_F(DuplicatesTest, OneItemsDuplicatesAreItsGroup)
{
    qint64 created = 0;
    for (const QString &address :
         {u"https://Example.COM/a"_s, u"https://www.example.com/a/"_s, u"https://ex%61mple.com/a"_s,
          u"https://b\u00FCcher.example/x"_s, u"https://xn--bcher-kva.example/x"_s,
          u"HTTPS://WWW.B\u00DCCHER.EXAMPLE/x"_s, u"https://example.org/a"_s,
          u"mailto:ann@example.com"_s, u"MAILTO:ann@example.com"_s, u"https://sub.example.com/a"_s})
        link(address, ++created);
    const auto groups = DuplicateFinder::groups(m_store->items());
    for (Item *item : m_store->items()) {
        SCOPED_TRACE(item->urlString()->toStdString());
        DuplicateFinder::Group expected;
        for (const auto &group : groups) {
            if (std::find(group.begin(), group.end(), item) != group.end())
                std::copy_if(group.begin(), group.end(), std::back_inserter(expected),
                             [item](Item *other) { return other != item; });
        }
        EXPECT_EQ(DuplicateFinder::sameAs(*item, m_store->items()), expected);
    }
    EXPECT_GE(groups.size(), 2u);
}

TEST_F(DuplicatesTest, MergeKeepsOneItemWithTheUnionOfTheOthers)
{
    Tag *red = m_store->insert(std::make_unique<Tag>(u"red"_s, QColor(255, 0, 0)));
    Tag *blue = m_store->insert(std::make_unique<Tag>(u"blue"_s, QColor(0, 0, 255)));
    Tag *green = m_store->insert(std::make_unique<Tag>(u"green"_s, QColor(0, 255, 0)));
    Item *keep = link(u"https://example.com/a"_s, 5000);
    keep->addTag(red);
    keep->setNote(u"short"_s);
    Item *older = link(u"https://example.com/a/"_s, 1000);
    older->addTag(blue);
    older->addTag(red);
    older->setNote(u"the longer note of the two"_s);
    Item *favourite = link(u"https://www.example.com/a"_s, 3000);
    favourite->addTag(green);
    favourite->setFavorite(true);
    Item *unrelated = link(u"https://example.com/b"_s, 100);

    ASSERT_TRUE(DuplicateMerger::merge(*m_store, *keep, {older, favourite}));
    ASSERT_EQ(m_store->items().size(), 2u);
    EXPECT_EQ(m_store->item(keep->id()), keep);
    EXPECT_EQ(m_store->item(unrelated->id()), unrelated);
    EXPECT_EQ(keep->tags().size(), 3);
    for (Tag *tag : {red, blue, green})
        EXPECT_TRUE(keep->tags().contains(tag)) << tag->name().toStdString();
    EXPECT_EQ(keep->note(), u"short\n\nthe longer note of the two"_s)
        << "no note written on any copy is lost";
    EXPECT_EQ(keep->createdAtMSecs(), 1000);
    EXPECT_TRUE(keep->isFavorite());
    EXPECT_EQ(keep->title(), u"https://example.com/a"_s) << "its own title stays";
    EXPECT_TRUE(DuplicateFinder::groups(m_store->items()).empty());

    EXPECT_FALSE(DuplicateMerger::merge(*m_store, *keep, {keep})) << "an item with itself";
    EXPECT_EQ(m_store->items().size(), 2u);
}

TEST_F(DuplicatesTest, MergeKeepsTheFilingAndUseOfEveryCopy)
{
    Folder *thesis = m_store->insert(std::make_unique<Folder>(u"Thesis"_s, QString(), QColor()));
    Item *keep = link(u"https://example.com/a"_s, 1000);
    keep->setArchived(true);
    keep->setNote(u"quote p.12"_s);
    Item *filed = link(u"https://example.com/a/"_s, 2000);
    filed->moveToFolder(thesis);
    filed->setNote(u"see also quote p.12 and p.14"_s);
    Item *same = link(u"https://www.example.com/a"_s, 3000);
    same->setNote(u"quote p.12"_s);

    ASSERT_TRUE(DuplicateMerger::merge(*m_store, *keep, {filed, same}));
    ASSERT_EQ(m_store->items().size(), 1u);
    EXPECT_EQ(keep->folder(), thesis) << "a copy was filed";
    EXPECT_FALSE(keep->isArchived()) << "a copy was still in use";
    EXPECT_EQ(keep->note(), u"see also quote p.12 and p.14"_s)
        << "a note held in full by another is not repeated";

    // Its own folder stays, and all archived stays archived.
    Folder *other = m_store->insert(std::make_unique<Folder>(u"Other"_s, QString(), QColor()));
    Item *second = link(u"https://example.com/a"_s, 4000);
    second->moveToFolder(other);
    second->setArchived(true);
    keep->setArchived(true);
    ASSERT_TRUE(DuplicateMerger::merge(*m_store, *keep, {second}));
    EXPECT_EQ(keep->folder(), thesis);
    EXPECT_TRUE(keep->isArchived());
}

TEST_F(DuplicatesTest, ALibraryThatCanOnlyBeReadIsNotMerged)
{
    link(u"https://example.com/a"_s, 1000)->setNote(u"first"_s);
    link(u"https://example.com/a/"_s, 2000)->setNote(u"the second, longer"_s);
    ASSERT_TRUE(m_store->save());
    m_store.reset();
    test::FaultyDisk disk;
    disk.setReadOnly(true);
    QString error;
    auto store = LibraryStore::open(m_dir.filePath(u"library.store"_s), &error);
    ASSERT_TRUE(store && store->isReadOnly()) << error.toStdString();
    const auto group = DuplicateFinder::groups(store->items());
    ASSERT_EQ(group.size(), 1u);
    Item *keep = group[0][0];
    EXPECT_FALSE(DuplicateMerger::merge(*store, *keep, {group[0][1]}));
    EXPECT_EQ(store->items().size(), 2u);
    EXPECT_EQ(keep->note(), u"first"_s);
}

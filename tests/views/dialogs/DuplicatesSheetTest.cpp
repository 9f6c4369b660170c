#include "FaultyDisk.h"
#include "ViewsTestbed.h"

#include <views/dialogs/DuplicatesSheet.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

class DuplicatesSheetTest : public ::testing::Test, protected quillory::test::StoreTestbed
{
protected:
    Item *link(const QString &title, const QString &url, qint64 created)
    {
        auto item = std::make_unique<Item>(ItemType::WebLink, title, QUrl(url));
        item->setCreatedAt(QDateTime::fromMSecsSinceEpoch(created, Qt::UTC));
        return m_store->insert(std::move(item));
    }
};

} // namespace

TEST_F(DuplicatesSheetTest, MergesEachGroupIntoTheChosenItemUntilNoneAreLeft)
{
    // What a merge keeps of each copy is DuplicatesTest's; here, the sheet's choice and groups.
    Item *oldA = link(u"A, first save"_s, u"https://example.com/a"_s, 1000);
    Item *newA = link(u"A, saved again"_s, u"https://www.example.com/a/?utm_source=x"_s, 9000);
    link(u"B"_s, u"https://example.com/b"_s, 2000);
    link(u"B again"_s, u"http://example.com/b#top"_s, 3000);
    link(u"C"_s, u"https://example.com/c"_s, 4000);

    DuplicatesSheet sheet(*m_store);
    ASSERT_EQ(sheet.groupCount(), 2);
    EXPECT_FALSE(sheet.findChild<QLabel *>(u"noDuplicates"_s)->isVisibleTo(&sheet));
    ASSERT_EQ(sheet.group(0).front(), oldA);
    EXPECT_EQ(sheet.keptItem(0), oldA) << "the oldest is kept unless another is chosen";

    sheet.chooseKept(0, 1);
    ASSERT_EQ(sheet.keptItem(0), newA);
    const QUuid oldId = oldA->id();
    sheet.mergeButton(0)->click();
    EXPECT_EQ(m_store->items().size(), 4u);
    EXPECT_FALSE(m_store->item(oldId));
    EXPECT_TRUE(m_store->item(newA->id()));
    ASSERT_EQ(sheet.groupCount(), 1);
    EXPECT_EQ(sheet.group(0).size(), 2u);

    sheet.mergeButton(0)->click();
    EXPECT_EQ(m_store->items().size(), 3u);
    EXPECT_EQ(sheet.groupCount(), 0);
    EXPECT_TRUE(sheet.findChild<QLabel *>(u"noDuplicates"_s)->isVisibleTo(&sheet));
}

TEST_F(DuplicatesSheetTest,
       TheItemChosenStaysChosenThroughChangesAndOtherMergesAndGroupsFollowTheLibrary)
{
    link(u"A"_s, u"https://example.com/a"_s, 1000);
    link(u"A again"_s, u"https://example.com/a/"_s, 2000);
    link(u"B"_s, u"https://example.com/b"_s, 3000);
    Item *newerB = link(u"B again"_s, u"https://example.com/b/"_s, 4000);
    DuplicatesSheet sheet(*m_store);
    ASSERT_EQ(sheet.groupCount(), 2);
    sheet.chooseKept(1, 1);
    ASSERT_EQ(sheet.keptItem(1), newerB);

    newerB->setTitle(u"B, retitled by its page"_s); // an enrichment arriving
    sheet.refreshNow();
    EXPECT_EQ(sheet.keptItem(1), newerB);
    sheet.mergeButton(0)->click();
    ASSERT_EQ(sheet.groupCount(), 1);
    EXPECT_EQ(sheet.keptItem(0), newerB) << "merging another group keeps this choice";
    sheet.mergeButton(0)->click();
    EXPECT_TRUE(m_store->item(newerB->id()));
    EXPECT_EQ(m_store->items().size(), 2u);

    // Groups come and go with the library while the sheet is open.
    Item *again = link(u"B once more"_s, u"https://example.com/b"_s, 5000);
    sheet.refreshNow();
    ASSERT_EQ(sheet.groupCount(), 1);
    m_store->remove(again);
    EXPECT_EQ(sheet.groupCount(), 0) << "no group points at a deleted item";
    sheet.refreshNow();
    EXPECT_EQ(sheet.groupCount(), 0);
}

TEST_F(DuplicatesSheetTest, ALibraryThatCanOnlyBeReadShowsItsGroupsButMergesNothing)
{
    link(u"A"_s, u"https://example.com/a"_s, 1000);
    link(u"A again"_s, u"https://example.com/a/"_s, 2000);
    ASSERT_TRUE(m_store->save());
    m_store.reset();
    test::FaultyDisk disk;
    disk.setReadOnly(true);
    m_store = openStore(u"library.store"_s);
    ASSERT_TRUE(m_store && m_store->isReadOnly());

    DuplicatesSheet sheet(*m_store);
    ASSERT_EQ(sheet.groupCount(), 1);
    EXPECT_FALSE(sheet.mergeButton(0)->isEnabled());
    sheet.mergeGroup(0);
    EXPECT_EQ(m_store->items().size(), 2u);
}

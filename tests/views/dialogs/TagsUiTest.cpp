#include "ViewsTestbed.h"

#include <model/Clock.h>
#include <model/HexColor.h>
#include <state/AppInfo.h>
#include <views/dialogs/TagEditorSheet.h>
#include <views/dialogs/TagPickerSheet.h>
#include <views/settings/TagManagementView.h>
#include <views/widgets/ColorPickerGrid.h>
#include <views/widgets/EmptyStateView.h>
#include <views/widgets/TagChipView.h>
#include <views/widgets/TagDragItem.h>

#include <QApplication>
#include <QLayout>
#include <QMimeData>
#include <QPointer>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::child;
using quillory::test::press;

namespace {

const QString blueHex = u"#007AFF"_s;

class TagsUiTest : public ::testing::Test, protected quillory::test::StoreTestbed
{
protected:
    void TearDown() override { Clock::setSource({}); }

    Item *addItem(const QString &title = u"Item"_s)
    {
        return m_store->insert(std::make_unique<Item>(ItemType::WebLink, title));
    }

    // Removing another record of the kind leaves the sheet open; removing its own closes it.
    template <typename Record>
    void expectClosesWithItsRecord(const QDialog &sheet, Record *own, Record *other)
    {
        m_store->remove(other);
        EXPECT_TRUE(sheet.isVisible());
        m_store->remove(own);
        EXPECT_FALSE(sheet.isVisible());
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
    }

    // The rows shown, as tag ids in the order shown. A removed row lingers hidden until the
    // event loop deletes it.
    static QList<QWidget *> shownRows(const QWidget &root)
    {
        QList<QWidget *> rows;
        for (QWidget *row : root.findChildren<QWidget *>(u"tagRow"_s)) {
            if (!row->isHidden())
                rows.append(row);
        }
        return rows;
    }

    // By place in the layout: a row just placed has its geometry only once the layout runs.
    static QList<QUuid> shownTags(const QWidget &root)
    {
        QList<std::pair<int, QUuid>> rows;
        for (QWidget *row : shownRows(root))
            rows.append({row->parentWidget()->layout()->indexOf(row),
                         row->findChild<TagChipView *>()->tagId()});
        std::sort(rows.begin(), rows.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        QList<QUuid> ids;
        for (const auto &row : rows)
            ids.append(row.second);
        return ids;
    }

    static QWidget *rowFor(const QWidget &root, const Tag &tag)
    {
        for (QWidget *row : shownRows(root)) {
            if (row->findChild<TagChipView *>()->tagId() == tag.id())
                return row;
        }
        return nullptr;
    }

    static bool checkmarkShown(const QWidget &picker, const Tag &tag)
    {
        return child<QLabel>(*rowFor(picker, tag), "checkmark")->isVisible();
    }
};

} // namespace

// Chips

TEST_F(TagsUiTest, ChipShowsRemoveOnlyWithAnAction)
{
    Tag *tag = addTag(u"Work"_s);
    tag->setColorHex(u"garbage"_s);
    TagChipView chip(*tag, TagChipSize::Small);
    EXPECT_EQ(HexColor::toHexOrDefault(chip.color()), blueHex);
    auto *remove = child<QAbstractButton>(chip, "removeTag");
    ASSERT_NE(remove, nullptr);
    chip.show();
    chip.setShowRemove(true);
    EXPECT_FALSE(remove->isVisible());
    int removed = 0;
    chip.setOnRemove([&removed] { ++removed; });
    EXPECT_TRUE(remove->isVisible());
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(removed, 1);
    chip.setShowRemove(false);
    EXPECT_FALSE(remove->isVisible());

    const QUuid id = tag->id();
    tag->setName(u"Renamed"_s);
    chip.updateFromTag(*tag);
    EXPECT_EQ(chip.name(), u"Renamed"_s);
    m_store->remove(tag);
    EXPECT_EQ(chip.tagId(), id); // the chip keeps its own copy
    EXPECT_EQ(chip.name(), u"Renamed"_s);
}

// Picker

TEST_F(TagsUiTest, PickerListsTagsBySortOrderAndFollowsTheirChangesRowByRow)
{
    Tag *c = addTag(u"C"_s, 2);
    Tag *a = addTag(u"A"_s, 0);
    Item *item = addItem();
    item->addTag(a);
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), u"Tags"_s);
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{a->id(), c->id()}));
    EXPECT_TRUE(checkmarkShown(sheet, *a));
    EXPECT_FALSE(checkmarkShown(sheet, *c));
    EXPECT_TRUE(child(sheet, "dropZone")->isVisible());
    const QPointer<QWidget> rowA = rowFor(sheet, *a);
    const QPointer<QWidget> rowC = rowFor(sheet, *c);
    rowC->setFocus();

    Tag *b = addTag(u"B"_s, 1);
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{a->id(), b->id(), c->id()}));
    const QPointer<QWidget> rowB = rowFor(sheet, *b);
    a->setName(u"Renamed"_s);
    EXPECT_EQ(rowA->findChild<TagChipView *>()->name(), u"Renamed"_s);
    const QUuid gone = b->id();
    m_store->remove(b);
    sheet.toggle(gone); // a stale row's id does nothing
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{a->id(), c->id()}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(rowB.isNull());
    EXPECT_EQ(rowFor(sheet, *a), rowA.data());
    EXPECT_EQ(rowFor(sheet, *c), rowC.data());
    EXPECT_EQ(sheet.focusWidget(), rowC.data());
    EXPECT_TRUE(checkmarkShown(sheet, *a));

    // A tag arriving between the press and the release of a row leaves the click to it.
    QTest::mousePress(rowC, Qt::LeftButton);
    Tag *d = addTag(u"D"_s, 3);
    QCoreApplication::processEvents();
    QTest::mouseRelease(rowC, Qt::LeftButton);
    EXPECT_EQ(item->tags(), (QList<Tag *>{a, c}));
    EXPECT_TRUE(checkmarkShown(sheet, *c));
    QTest::mouseClick(rowA, Qt::LeftButton);
    EXPECT_EQ(item->tags(), QList<Tag *>{c});
    EXPECT_FALSE(checkmarkShown(sheet, *a));
    // Pressed twice, a row leaves the tags as they were, each given once and saved at once.
    QTest::mouseClick(rowA, Qt::LeftButton);
    QTest::mouseClick(rowA, Qt::LeftButton);
    EXPECT_EQ(item->tags(), QList<Tag *>{c});
    EXPECT_FALSE(m_store->hasUnsavedChanges());

    // A new sort order moves the rows; a tag added elsewhere is checked here.
    c->setSortOrder(-1);
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{c->id(), a->id(), d->id()}));
    item->addTag(d);
    EXPECT_TRUE(checkmarkShown(sheet, *d));
    press(sheet, "done");
    EXPECT_FALSE(sheet.isVisible());
}

TEST_F(TagsUiTest, PickerNewTagRowAddsOnlyATrimmedNameAndOnlyOnAdd)
{
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    EXPECT_FALSE(child(sheet, "dropZone")->isVisible());
    auto *name = child<QLineEdit>(sheet, "tagName");
    auto *add = child<QPushButton>(sheet, "add");
    EXPECT_FALSE(name->isVisible());
    press(sheet, "newTag");
    ASSERT_TRUE(name->isVisible());
    EXPECT_EQ(name->placeholderText(), u"Tag name"_s);
    EXPECT_FALSE(add->isEnabled());

    // Return in the field does nothing.
    QTest::keyClicks(name, u"Later"_s);
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(m_store->tags().empty());
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(name->text(), u"Later"_s);

    // Spaces alone enable Add, but create nothing and stay in the field.
    name->clear();
    EXPECT_FALSE(add->isEnabled());
    QTest::keyClicks(name, u"   "_s);
    EXPECT_TRUE(add->isEnabled());
    press(sheet, "add");
    EXPECT_TRUE(m_store->tags().empty());
    EXPECT_EQ(name->text(), u"   "_s);
    EXPECT_TRUE(name->isVisible());

    name->clear();
    QTest::keyClicks(name, u"  Reading list  "_s);
    press(sheet, "add");
    ASSERT_EQ(m_store->tags().size(), 1u);
    Tag *created = m_store->tags().front();
    EXPECT_EQ(created->name(), u"Reading list"_s);
    EXPECT_EQ(created->colorHex(), HexColor::toHexOrDefault(AppInfo::colorPalette().first()));
    EXPECT_EQ(item->tags(), QList<Tag *>{created});
    EXPECT_FALSE(m_store->hasUnsavedChanges());
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_FALSE(name->isVisible());
    EXPECT_FALSE(child<QAbstractButton>(sheet, "newTag")->isChecked());

    EXPECT_EQ(shownTags(sheet), QList<QUuid>{created->id()});
    EXPECT_TRUE(child(sheet, "dropZone")->isVisible());
}

TEST_F(TagsUiTest, PickerDropAddsTagsOnceAndSkipsUnknownIds)
{
    Tag *a = addTag(u"A"_s, 0);
    Tag *b = addTag(u"B"_s, 1);
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    QWidget *zone = child(sheet, "dropZone");
    ASSERT_TRUE(zone->acceptDrops());
    EXPECT_EQ(child<QLabel>(*zone, "dropHelp")->text(), u"Drag a tag here to add it"_s);

    std::unique_ptr<QMimeData> one(TagDragItem{a->id()}.toMimeData());
    const QPointF centre = QRectF(zone->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, one.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(zone, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, one.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(zone, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(item->tags(), QList<Tag *>{a});
    QMimeData other;
    other.setText(u"A"_s);
    QDragEnterEvent refused(centre.toPoint(), Qt::CopyAction, &other, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(zone, &refused);
    EXPECT_FALSE(refused.isAccepted());

    std::unique_ptr<QMimeData> mime(TagDragItem::toMimeData(
        {TagDragItem{a->id()}, TagDragItem{QUuid::createUuid()}, TagDragItem{b->id()}}));
    EXPECT_TRUE(sheet.dropPayload(*mime));
    EXPECT_EQ(item->tags(), (QList<Tag *>{a, b}));
    EXPECT_FALSE(m_store->hasUnsavedChanges());
    std::unique_ptr<QMimeData> unknown(TagDragItem{QUuid::createUuid()}.toMimeData());
    EXPECT_TRUE(sheet.dropPayload(*unknown));
    EXPECT_EQ(item->tags(), (QList<Tag *>{a, b}));
    QMimeData noIds;
    noIds.setData(TagDragItem::mimeType, "{}");
    EXPECT_FALSE(sheet.dropPayload(noIds));
    QMimeData empty;
    EXPECT_FALSE(sheet.dropPayload(empty));
}

TEST_F(TagsUiTest, PickerAndEditorCloseWithTheirRecord)
{
    Tag *a = addTag(u"A"_s);
    Item *item = addItem();
    TagPickerSheet picker(*m_store, *item);
    picker.show();
    expectClosesWithItsRecord(picker, item, addItem(u"Other"_s));
    EXPECT_EQ(picker.item(), nullptr);
    picker.toggle(a->id());
    std::unique_ptr<QMimeData> mime(TagDragItem{a->id()}.toMimeData());
    picker.dropPayload(*mime);
    EXPECT_TRUE(a->items().isEmpty());

    TagEditorSheet editor(*m_store, a);
    editor.show();
    expectClosesWithItsRecord(editor, a, addTag(u"Other"_s));
}

// Editor

TEST_F(TagsUiTest, EditorCreatesATag)
{
    TagEditorSheet sheet(*m_store, nullptr);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), u"New Tag"_s);
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    auto *confirm = child<QPushButton>(sheet, "confirm");
    EXPECT_EQ(confirm->text(), u"Create"_s);
    EXPECT_FALSE(confirm->isEnabled());
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), blueHex);
    auto *name = child<QLineEdit>(sheet, "name");
    EXPECT_TRUE(name->text().isEmpty());
    QTest::keyClicks(name, u" Ideas "_s);
    const QString purple = HexColor::toHexOrDefault(AppInfo::colorPalette()[2]);
    QTest::mouseClick(child<ColorPickerGrid>(sheet, "colorPicker")->cell(purple), Qt::LeftButton);
    press(sheet, "confirm");

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    ASSERT_EQ(m_store->tags().size(), 1u);
    EXPECT_EQ(sheet.savedTag(), m_store->tags().front());
    EXPECT_EQ(m_store->tags().front()->name(), u" Ideas "_s);
    EXPECT_EQ(m_store->tags().front()->colorHex(), purple);
}

// Confirm needs a name, Cancel changes nothing; a rename keeps its spaces, stamps the tag and
// saves an unreadable colour as blue.
TEST_F(TagsUiTest, EditorRenamesOnlyToANameAndSavesAnUnreadableColourAsBlue)
{
    const QDateTime created(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC);
    Clock::setSource([created] { return created; });
    Tag *tag = addTag(u"Old"_s);
    tag->setColorHex(u"not a colour"_s);
    const QDateTime later = created.addSecs(3600);
    Clock::setSource([later] { return later; });
    {
        TagEditorSheet sheet(*m_store, tag);
        sheet.show();
        auto *confirm = child<QPushButton>(sheet, "confirm");
        auto *name = child<QLineEdit>(sheet, "name");
        EXPECT_TRUE(confirm->isEnabled());
        name->clear();
        EXPECT_FALSE(confirm->isEnabled());
        QTest::keyClick(name, Qt::Key_Return);
        EXPECT_TRUE(sheet.isVisible());
        QTest::keyClicks(name, u" "_s);
        EXPECT_TRUE(confirm->isEnabled());
        press(sheet, "cancel");
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
        EXPECT_EQ(tag->name(), u"Old"_s);
    }
    TagEditorSheet sheet(*m_store, tag);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), u"Edit Tag"_s);
    EXPECT_EQ(child<QPushButton>(sheet, "confirm")->text(), u"Save"_s);
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), blueHex);
    auto *name = child<QLineEdit>(sheet, "name");
    EXPECT_EQ(name->text(), u"Old"_s);
    name->selectAll();
    QTest::keyClicks(name, u"  New  "_s);
    QTest::keyClick(name, Qt::Key_Return);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(tag->name(), u"  New  "_s);
    EXPECT_EQ(tag->colorHex(), blueHex);
    EXPECT_EQ(tag->modifiedAt(), later);
    EXPECT_EQ(tag->createdAt(), created);
    EXPECT_EQ(m_store->tags().size(), 1u);
}

// Management

TEST_F(TagsUiTest, ManagementCountsOnlyItemsThatAreNotArchivedAndSaysWhenThereAreNoTags)
{
    Tag *archivedOnly = addTag(u"Old"_s, 0);
    Tag *mixed = addTag(u"Mixed"_s, 1);
    Item *archived = addItem();
    archived->addTag(archivedOnly);
    archived->addTag(mixed);
    archived->setArchived(true);
    addItem()->addTag(mixed);
    TagManagementView view(*m_store);
    view.show();
    EXPECT_EQ(shownTags(view), (QList<QUuid>{archivedOnly->id(), mixed->id()}));
    const auto count = [&view](const Tag &tag) {
        return child<QLabel>(*rowFor(view, tag), "itemCount")->text();
    };
    EXPECT_EQ(count(*archivedOnly), u"0 items"_s);
    EXPECT_EQ(count(*mixed), u"1 item"_s);

    archived->setArchived(false);
    view.refreshNow();
    EXPECT_EQ(count(*archivedOnly), u"1 item"_s);
    EXPECT_EQ(count(*mixed), u"2 items"_s);

    // Without tags the view says so, until the next one comes.
    auto *empty = view.findChild<EmptyStateView *>();
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->isVisible());
    m_store->remove(archivedOnly);
    m_store->remove(mixed);
    view.refreshNow();
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->title(), u"No Tags"_s);
    EXPECT_EQ(empty->description(), u"Create tags to organize your items"_s);
    Tag *tag = addTag(u"First"_s);
    view.refreshNow();
    EXPECT_FALSE(empty->isVisible());
    EXPECT_EQ(shownTags(view), QList<QUuid>{tag->id()});
}

TEST_F(TagsUiTest, ManagementRowsSurviveChangesToOtherTagsAndOpenTheEditor)
{
    Tag *a = addTag(u"A"_s, 0);
    Tag *b = addTag(u"B"_s, 1);
    Tag *c = addTag(u"C"_s, 2);
    Item *item = addItem();
    item->addTag(b);
    item->addTag(c);
    TagManagementView view(*m_store);
    view.show();
    const QPointer<QWidget> rowA = rowFor(view, *a);
    const QPointer<QWidget> rowB = rowFor(view, *b);
    rowB->setFocus();

    Tag *first = addTag(u"First"_s, -1);
    EXPECT_EQ(shownTags(view), (QList<QUuid>{first->id(), a->id(), b->id(), c->id()}));
    first->setName(u"Top"_s);
    EXPECT_EQ(rowFor(view, *first)->findChild<TagChipView *>()->name(), u"Top"_s);
    addItem()->addTag(a);
    view.refreshNow();
    EXPECT_EQ(child<QLabel>(*rowA, "itemCount")->text(), u"1 item"_s);
    m_store->remove(first);
    EXPECT_EQ(shownTags(view), (QList<QUuid>{a->id(), b->id(), c->id()}));
    EXPECT_EQ(rowFor(view, *a), rowA.data());
    EXPECT_EQ(rowFor(view, *b), rowB.data());
    EXPECT_EQ(view.focusWidget(), rowB.data());

    // The trash button and the Delete key delete the tag of their own row, and only that
    // one, from the items too.
    const QUuid cId = c->id(); // `c` is destroyed by the delete
    auto *trash = child<QAbstractButton>(*rowFor(view, *c), "deleteTag");
    ASSERT_NE(trash, nullptr);
    EXPECT_EQ(trash->toolTip(), u"Delete"_s);
    trash->click();
    EXPECT_EQ(m_store->tag(cId), nullptr);
    EXPECT_EQ(item->tags(), QList<Tag *>{b});
    QTest::keyClick(rowB, Qt::Key_Delete);
    EXPECT_EQ(shownTags(view), QList<QUuid>{a->id()});
    EXPECT_TRUE(item->tags().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(rowB.isNull());
    EXPECT_EQ(rowFor(view, *a), rowA.data());

    // A row opens the editor for its tag, New Tag one for a new tag.
    QList<std::pair<bool, QString>> opened;
    view.setSheetHook([&opened](QDialog &dialog) {
        auto &sheet = dynamic_cast<TagEditorSheet &>(dialog);
        opened.append({sheet.isCreating(), sheet.name()});
        child<QLineEdit>(sheet, "name")->setText(sheet.isCreating() ? u"Fresh"_s : u"Job"_s);
        child<QPushButton>(sheet, "confirm")->click();
    });
    QTest::mouseClick(rowA, Qt::LeftButton);
    press(view, "newTag");
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], std::make_pair(false, u"A"_s));
    EXPECT_EQ(opened[1], std::make_pair(true, QString()));
    view.refreshNow();
    EXPECT_EQ(shownTags(view).size(), 2);
    EXPECT_EQ(rowFor(view, *a)->findChild<TagChipView *>()->name(), u"Job"_s);
}

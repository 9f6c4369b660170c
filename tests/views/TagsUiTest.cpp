#include <AppInfo.h>
#include <Clock.h>
#include <ColorPickerGrid.h>
#include <EmptyStateView.h>
#include <HexColor.h>
#include <Item.h>
#include <LibraryStore.h>
#include <Tag.h>
#include <TagChipView.h>
#include <TagDragItem.h>
#include <TagEditorSheet.h>
#include <TagManagementView.h>
#include <TagPickerSheet.h>

#include <QAbstractButton>
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quillory;

namespace {

const QString blueHex = QStringLiteral("#007AFF");

QSet<QUuid> idsOf(const QList<Tag *> &tags)
{
    QSet<QUuid> ids;
    for (const Tag *t : tags)
        ids.insert(t->id());
    return ids;
}

std::unique_ptr<QMimeData> mimeWith(const QByteArray &payload)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(TagDragItem::mimeType, payload);
    return mime;
}

class TagsUiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QString error;
        m_store = LibraryStore::open(m_dir.filePath(QStringLiteral("test.store")), &error);
        ASSERT_TRUE(m_store) << error.toStdString();
    }
    void TearDown() override { Clock::setSource({}); }

    Tag *addTag(const QString &name, int sortOrder = 0, const QColor &color = QColor(255, 59, 48))
    {
        Tag *tag = m_store->insert(std::make_unique<Tag>(name, color));
        tag->setSortOrder(sortOrder);
        return tag;
    }

    Item *addItem(const QString &title = QStringLiteral("Item"))
    {
        return m_store->insert(std::make_unique<Item>(ItemType::WebLink, title));
    }

    // The rows in the order shown, as tag ids.
    static QList<QUuid> shownTags(const QWidget &root)
    {
        QList<std::pair<int, QUuid>> rows;
        for (QWidget *row : root.findChildren<QWidget *>(QStringLiteral("tagRow")))
            rows.append({row->y(), row->findChild<TagChipView *>()->tagId()});
        std::sort(rows.begin(), rows.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        QList<QUuid> ids;
        for (const auto &row : rows)
            ids.append(row.second);
        return ids;
    }

    static QWidget *rowFor(const QWidget &root, const Tag &tag)
    {
        for (QWidget *row : root.findChildren<QWidget *>(QStringLiteral("tagRow"))) {
            if (row->findChild<TagChipView *>()->tagId() == tag.id())
                return row;
        }
        return nullptr;
    }

    static void press(QWidget &root, const QString &objectName)
    {
        auto *button = root.findChild<QAbstractButton *>(objectName);
        ASSERT_NE(button, nullptr) << objectName.toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<LibraryStore> m_store;
};

} // namespace

// Chips

TEST_F(TagsUiTest, ChipShowsRemoveOnlyWithAnAction)
{
    Tag *tag = addTag(QStringLiteral("Work"));
    tag->setColorHex(QStringLiteral("garbage"));
    TagChipView chip(*tag, TagChipSize::Small);
    EXPECT_EQ(HexColor::toHexOrDefault(chip.color()), blueHex);
    auto *remove = chip.findChild<QAbstractButton *>(QStringLiteral("removeTag"));
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
    tag->setName(QStringLiteral("Renamed"));
    chip.updateFromTag(*tag);
    EXPECT_EQ(chip.name(), QStringLiteral("Renamed"));
    m_store->remove(tag);
    EXPECT_EQ(chip.tagId(), id); // the chip keeps its own copy
    EXPECT_EQ(chip.name(), QStringLiteral("Renamed"));
}

// Picker

TEST_F(TagsUiTest, PickerListsTagsBySortOrderWithCheckmarks)
{
    Tag *c = addTag(QStringLiteral("C"), 2);
    Tag *a = addTag(QStringLiteral("A"), 0);
    Tag *b = addTag(QStringLiteral("B"), 1);
    Item *item = addItem();
    item->addTag(b);
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Tags"));
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    EXPECT_GE(sheet.minimumWidth(), 320);
    EXPECT_GE(sheet.minimumHeight(), 400);
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{a->id(), b->id(), c->id()}));
    EXPECT_TRUE(rowFor(sheet, *b)->findChild<QLabel *>(QStringLiteral("checkmark"))->isVisible());
    EXPECT_FALSE(rowFor(sheet, *a)->findChild<QLabel *>(QStringLiteral("checkmark"))->isVisible());
    EXPECT_TRUE(sheet.findChild<QWidget *>(QStringLiteral("dropZone"))->isVisible());
    press(sheet, QStringLiteral("done"));
    EXPECT_FALSE(sheet.isVisible());
}

TEST_F(TagsUiTest, PressingARowTwiceLeavesTheTagsAsTheyWere)
{
    Tag *a = addTag(QStringLiteral("A"), 0);
    Tag *b = addTag(QStringLiteral("B"), 1);
    Tag *c = addTag(QStringLiteral("C"), 2);
    Item *item = addItem();
    item->addTag(a);
    item->addTag(b);
    const QSet<QUuid> before = idsOf(item->tags());
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();

    for (Tag *tag : {c, a}) {
        QTest::mouseClick(rowFor(sheet, *tag), Qt::LeftButton);
        EXPECT_NE(idsOf(item->tags()), before);
        EXPECT_FALSE(m_store->hasUnsavedChanges());
        sheet.refreshNow();
        QTest::mouseClick(rowFor(sheet, *tag), Qt::LeftButton);
        EXPECT_EQ(idsOf(item->tags()), before);
        EXPECT_EQ(item->tags().size(), 2);
    }
    sheet.refreshNow();
    EXPECT_TRUE(rowFor(sheet, *a)->findChild<QLabel *>(QStringLiteral("checkmark"))->isVisible());
    EXPECT_FALSE(rowFor(sheet, *c)->findChild<QLabel *>(QStringLiteral("checkmark"))->isVisible());
}

TEST_F(TagsUiTest, PickerSpacesOnlyNameEnablesAddButCreatesNothing)
{
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("tagName"));
    EXPECT_FALSE(name->isVisible());
    press(sheet, QStringLiteral("newTag"));
    ASSERT_TRUE(name->isVisible());
    EXPECT_EQ(name->placeholderText(), QStringLiteral("Tag name"));
    auto *add = sheet.findChild<QPushButton *>(QStringLiteral("add"));
    EXPECT_FALSE(add->isEnabled());
    QTest::keyClicks(name, QStringLiteral("   "));
    EXPECT_TRUE(add->isEnabled());
    press(sheet, QStringLiteral("add"));
    EXPECT_TRUE(m_store->tags().empty());
    EXPECT_EQ(name->text(), QStringLiteral("   "));
    EXPECT_TRUE(name->isVisible());
}

TEST_F(TagsUiTest, PickerReturnInTheNameFieldDoesNothing)
{
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    press(sheet, QStringLiteral("newTag"));
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("tagName"));
    QTest::keyClicks(name, QStringLiteral("Later"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(m_store->tags().empty());
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(name->text(), QStringLiteral("Later"));
}

TEST_F(TagsUiTest, PickerAddCreatesTheTrimmedTagOnTheItem)
{
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    EXPECT_FALSE(sheet.findChild<QWidget *>(QStringLiteral("dropZone"))->isVisible());
    press(sheet, QStringLiteral("newTag"));
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("tagName"));
    QTest::keyClicks(name, QStringLiteral("  Reading list  "));
    press(sheet, QStringLiteral("add"));

    ASSERT_EQ(m_store->tags().size(), 1u);
    Tag *created = m_store->tags().front();
    EXPECT_EQ(created->name(), QStringLiteral("Reading list"));
    EXPECT_EQ(created->colorHex(), HexColor::toHexOrDefault(AppInfo::colorPalette().first()));
    EXPECT_EQ(item->tags(), QList<Tag *>{created});
    EXPECT_FALSE(m_store->hasUnsavedChanges());
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_FALSE(name->isVisible());
    EXPECT_FALSE(sheet.findChild<QAbstractButton *>(QStringLiteral("newTag"))->isChecked());

    sheet.refreshNow();
    EXPECT_EQ(shownTags(sheet), QList<QUuid>{created->id()});
    EXPECT_TRUE(sheet.findChild<QWidget *>(QStringLiteral("dropZone"))->isVisible());
}

TEST_F(TagsUiTest, PickerDropAddsTagsOnceAndSkipsUnknownIds)
{
    Tag *a = addTag(QStringLiteral("A"), 0);
    Tag *b = addTag(QStringLiteral("B"), 1);
    Item *item = addItem();
    item->addTag(a);
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();

    std::unique_ptr<QMimeData> mime(TagDragItem::toMimeData(
        {TagDragItem{a->id()}, TagDragItem{QUuid::createUuid()}, TagDragItem{b->id()}}));
    EXPECT_TRUE(sheet.dropPayload(*mime));
    EXPECT_EQ(item->tags(), (QList<Tag *>{a, b}));
    EXPECT_FALSE(m_store->hasUnsavedChanges());

    std::unique_ptr<QMimeData> unknown(TagDragItem{QUuid::createUuid()}.toMimeData());
    EXPECT_TRUE(sheet.dropPayload(*unknown));
    EXPECT_EQ(item->tags(), (QList<Tag *>{a, b}));
    EXPECT_FALSE(sheet.dropPayload(*mimeWith("{}")));
    QMimeData empty;
    EXPECT_FALSE(sheet.dropPayload(empty));
}

TEST_F(TagsUiTest, PickerDropZoneTakesRealDrops)
{
    Tag *a = addTag(QStringLiteral("A"));
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    QWidget *zone = sheet.findChild<QWidget *>(QStringLiteral("dropZone"));
    ASSERT_TRUE(zone->acceptDrops());
    EXPECT_EQ(zone->findChild<QLabel *>(QStringLiteral("dropHelp"))->text(),
              QStringLiteral("Drag a tag here to add it"));

    std::unique_ptr<QMimeData> mime(TagDragItem{a->id()}.toMimeData());
    const QPointF centre = QRectF(zone->rect()).center();
    QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, mime.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(zone, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(zone, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(item->tags(), QList<Tag *>{a});

    QMimeData other;
    other.setText(QStringLiteral("A"));
    QDragEnterEvent refused(centre.toPoint(), Qt::CopyAction, &other, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(zone, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(TagsUiTest, PickerFollowsTagChanges)
{
    Tag *a = addTag(QStringLiteral("A"), 0);
    Item *item = addItem();
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    Tag *b = addTag(QStringLiteral("B"), 1);
    sheet.refreshNow();
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{a->id(), b->id()}));
    b->setSortOrder(-1);
    a->setName(QStringLiteral("Renamed"));
    sheet.refreshNow();
    EXPECT_EQ(shownTags(sheet), (QList<QUuid>{b->id(), a->id()}));
    EXPECT_EQ(rowFor(sheet, *a)->findChild<TagChipView *>()->name(), QStringLiteral("Renamed"));
    item->addTag(a);
    sheet.refreshNow();
    EXPECT_TRUE(rowFor(sheet, *a)->findChild<QLabel *>(QStringLiteral("checkmark"))->isVisible());
    const QUuid gone = b->id();
    m_store->remove(b);
    sheet.toggle(gone); // a stale row's id does nothing
    sheet.refreshNow();
    EXPECT_EQ(shownTags(sheet), QList<QUuid>{a->id()});
}

TEST_F(TagsUiTest, PickerClosesWhenTheItemIsDeleted)
{
    Tag *a = addTag(QStringLiteral("A"));
    Item *item = addItem();
    Item *other = addItem(QStringLiteral("Other"));
    TagPickerSheet sheet(*m_store, *item);
    sheet.show();
    m_store->remove(other);
    EXPECT_TRUE(sheet.isVisible());
    m_store->remove(item);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(sheet.item(), nullptr);
    sheet.toggle(a->id());
    std::unique_ptr<QMimeData> mime(TagDragItem{a->id()}.toMimeData());
    sheet.dropPayload(*mime);
    EXPECT_TRUE(a->items().isEmpty());
}

// Editor

TEST_F(TagsUiTest, EditorCreatesATag)
{
    TagEditorSheet sheet(*m_store, nullptr);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("New Tag"));
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    auto *confirm = sheet.findChild<QPushButton *>(QStringLiteral("confirm"));
    EXPECT_EQ(confirm->text(), QStringLiteral("Create"));
    EXPECT_FALSE(confirm->isEnabled());
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), blueHex);
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("name"));
    EXPECT_TRUE(name->text().isEmpty());
    QTest::keyClicks(name, QStringLiteral(" Ideas "));
    const QColor purple = AppInfo::colorPalette()[2];
    auto *colors = sheet.findChild<ColorPickerGrid *>(QStringLiteral("colorPicker"));
    QTest::mouseClick(colors->cell(HexColor::toHexOrDefault(purple)), Qt::LeftButton);
    press(sheet, QStringLiteral("confirm"));

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    ASSERT_EQ(m_store->tags().size(), 1u);
    EXPECT_EQ(sheet.savedTag(), m_store->tags().front());
    EXPECT_EQ(m_store->tags().front()->name(), QStringLiteral(" Ideas "));
    EXPECT_EQ(m_store->tags().front()->colorHex(), HexColor::toHexOrDefault(purple));
}

TEST_F(TagsUiTest, EditorRenameKeepsSurroundingSpacesAndStampsModifiedAt)
{
    const QDateTime created(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC);
    Clock::setSource([created] { return created; });
    Tag *tag = addTag(QStringLiteral("Old"));
    const QDateTime later = created.addSecs(3600);
    Clock::setSource([later] { return later; });

    TagEditorSheet sheet(*m_store, tag);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Edit Tag"));
    EXPECT_EQ(sheet.findChild<QPushButton *>(QStringLiteral("confirm"))->text(),
              QStringLiteral("Save"));
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("name"));
    EXPECT_EQ(name->text(), QStringLiteral("Old"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("  New  "));
    QTest::keyClick(name, Qt::Key_Return);

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(tag->name(), QStringLiteral("  New  "));
    EXPECT_EQ(tag->modifiedAt(), later);
    EXPECT_EQ(tag->createdAt(), created);
    EXPECT_EQ(m_store->tags().size(), 1u);
}

TEST_F(TagsUiTest, EditorUnreadableColourStartsBlueAndSavesTheStandardText)
{
    Tag *tag = addTag(QStringLiteral("Odd"));
    tag->setColorHex(QStringLiteral("not a colour"));
    TagEditorSheet sheet(*m_store, tag);
    sheet.show();
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), blueHex);
    press(sheet, QStringLiteral("confirm"));
    EXPECT_EQ(tag->colorHex(), blueHex);
}

TEST_F(TagsUiTest, EditorConfirmNeedsAName)
{
    Tag *tag = addTag(QStringLiteral("Keep"));
    TagEditorSheet sheet(*m_store, tag);
    sheet.show();
    auto *confirm = sheet.findChild<QPushButton *>(QStringLiteral("confirm"));
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("name"));
    EXPECT_TRUE(confirm->isEnabled());
    name->clear();
    EXPECT_FALSE(confirm->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(tag->name(), QStringLiteral("Keep"));
    QTest::keyClicks(name, QStringLiteral(" "));
    EXPECT_TRUE(confirm->isEnabled());
    press(sheet, QStringLiteral("cancel"));
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(tag->name(), QStringLiteral("Keep"));
}

TEST_F(TagsUiTest, EditorClosesWhenItsTagIsDeleted)
{
    Tag *tag = addTag(QStringLiteral("Doomed"));
    Tag *other = addTag(QStringLiteral("Other"));
    TagEditorSheet sheet(*m_store, tag);
    sheet.show();
    m_store->remove(other);
    EXPECT_TRUE(sheet.isVisible());
    m_store->remove(tag);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

// Management

TEST_F(TagsUiTest, ManagementShowsTheEmptyStateWithoutTags)
{
    TagManagementView view(*m_store);
    view.show();
    auto *empty = view.findChild<EmptyStateView *>();
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->title(), QStringLiteral("No Tags"));
    EXPECT_EQ(empty->description(), QStringLiteral("Create tags to organize your items"));

    Tag *tag = addTag(QStringLiteral("First"));
    view.refreshNow();
    EXPECT_FALSE(empty->isVisible());
    EXPECT_EQ(shownTags(view), QList<QUuid>{tag->id()});
    m_store->remove(tag);
    view.refreshNow();
    EXPECT_TRUE(empty->isVisible());
}

TEST_F(TagsUiTest, ManagementCountsOnlyItemsThatAreNotArchived)
{
    Tag *archivedOnly = addTag(QStringLiteral("Old"), 0);
    Tag *mixed = addTag(QStringLiteral("Mixed"), 1);
    Item *archived = addItem();
    archived->addTag(archivedOnly);
    archived->addTag(mixed);
    archived->setArchived(true);
    Item *live = addItem();
    live->addTag(mixed);
    TagManagementView view(*m_store);
    view.show();
    EXPECT_EQ(shownTags(view), (QList<QUuid>{archivedOnly->id(), mixed->id()}));
    auto count = [&view](const Tag &tag) {
        return rowFor(view, tag)->findChild<QLabel *>(QStringLiteral("itemCount"))->text();
    };
    EXPECT_EQ(count(*archivedOnly), QStringLiteral("0 items"));
    EXPECT_EQ(count(*mixed), QStringLiteral("1 items"));

    archived->setArchived(false);
    view.refreshNow();
    EXPECT_EQ(count(*archivedOnly), QStringLiteral("1 items"));
    EXPECT_EQ(count(*mixed), QStringLiteral("2 items"));
}

TEST_F(TagsUiTest, ManagementDeleteRemovesTheTagFromItems)
{
    Tag *a = addTag(QStringLiteral("A"), 0);
    Tag *b = addTag(QStringLiteral("B"), 1);
    Item *item = addItem();
    item->addTag(a);
    item->addTag(b);
    TagManagementView view(*m_store);
    view.show();

    const QUuid aId = a->id(); // `a` is destroyed by the delete
    auto *trash = rowFor(view, *a)->findChild<QAbstractButton *>(QStringLiteral("deleteTag"));
    ASSERT_NE(trash, nullptr);
    EXPECT_EQ(trash->toolTip(), QStringLiteral("Delete"));
    trash->click();
    EXPECT_EQ(m_store->tag(aId), nullptr);
    EXPECT_EQ(item->tags(), QList<Tag *>{b});
    view.refreshNow();
    EXPECT_EQ(shownTags(view), QList<QUuid>{b->id()});

    QWidget *row = rowFor(view, *b);
    row->setFocus();
    QTest::keyClick(row, Qt::Key_Delete);
    EXPECT_TRUE(m_store->tags().empty());
    EXPECT_TRUE(item->tags().isEmpty());
}

TEST_F(TagsUiTest, ManagementOpensTheEditorForNewAndExistingTags)
{
    Tag *tag = addTag(QStringLiteral("Work"));
    TagManagementView view(*m_store);
    view.show();
    QList<std::pair<bool, QString>> opened;
    view.setSheetHook([&opened](QDialog &dialog) {
        auto &sheet = dynamic_cast<TagEditorSheet &>(dialog);
        opened.append({sheet.isCreating(), sheet.name()});
        EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
        auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("name"));
        name->setText(sheet.isCreating() ? QStringLiteral("Fresh") : QStringLiteral("Job"));
        sheet.findChild<QPushButton *>(QStringLiteral("confirm"))->click();
    });

    QTest::mouseClick(rowFor(view, *tag), Qt::LeftButton);
    press(view, QStringLiteral("newTag"));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], std::make_pair(false, QStringLiteral("Work")));
    EXPECT_EQ(opened[1], std::make_pair(true, QString()));
    EXPECT_EQ(tag->name(), QStringLiteral("Job"));
    ASSERT_EQ(m_store->tags().size(), 2u);

    view.refreshNow();
    EXPECT_EQ(shownTags(view).size(), 2);
    EXPECT_EQ(rowFor(view, *tag)->findChild<TagChipView *>()->name(), QStringLiteral("Job"));
}

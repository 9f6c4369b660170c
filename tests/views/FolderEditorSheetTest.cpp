#include <AppInfo.h>
#include <Clock.h>
#include <ColorPickerGrid.h>
#include <Folder.h>
#include <FolderEditorSheet.h>
#include <HexColor.h>
#include <IconPickerGrid.h>
#include <LibraryStore.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;

namespace {

class FolderEditorSheetTest : public ::testing::Test
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

    Folder *add(const QString &name, Folder *parent = nullptr, int sortOrder = 0)
    {
        Folder *f = m_store->insert(std::make_unique<Folder>(
            name, QStringLiteral("folder"), AppInfo::colorPalette().first(), parent));
        f->setSortOrder(sortOrder);
        return f;
    }

    static QStringList choices(const FolderEditorSheet &sheet)
    {
        const auto *combo = sheet.findChild<QComboBox *>(QStringLiteral("parent"));
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts.append(combo->itemText(i));
        return texts;
    }

    static QStringList names(const std::vector<Folder *> &folders)
    {
        QStringList texts;
        for (const Folder *f : folders)
            texts.append(f->name());
        return texts;
    }

    static void chooseParent(FolderEditorSheet &sheet, const QString &name)
    {
        auto *combo = sheet.findChild<QComboBox *>(QStringLiteral("parent"));
        const int index = combo->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo->setCurrentIndex(index);
    }

    static void press(QWidget &sheet, const QString &objectName)
    {
        auto *button = sheet.findChild<QAbstractButton *>(objectName);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<LibraryStore> m_store;
};

} // namespace

TEST_F(FolderEditorSheetTest, NewFolderStartsFromDefaults)
{
    FolderEditorSheet sheet(*m_store, nullptr);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("New Folder"));
    EXPECT_EQ(sheet.findChild<QPushButton *>(QStringLiteral("confirm"))->text(),
              QStringLiteral("Create"));
    EXPECT_EQ(sheet.findChild<QLineEdit *>(QStringLiteral("name"))->placeholderText(),
              QStringLiteral("Name"));
    EXPECT_EQ(sheet.iconName(), QStringLiteral("folder"));
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()),
              HexColor::toHexOrDefault(AppInfo::colorPalette().first()));
    EXPECT_EQ(sheet.selectedParent(), nullptr);
    EXPECT_EQ(choices(sheet).first(), QStringLiteral("None (Root)"));
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
}

TEST_F(FolderEditorSheetTest, CreatesTheFolderInTheStore)
{
    Folder *work = add(QStringLiteral("Work"));
    FolderEditorSheet sheet(*m_store, nullptr);
    sheet.show();
    QTest::keyClicks(sheet.findChild<QLineEdit *>(QStringLiteral("name")),
                     QStringLiteral("Reading"));
    auto *icons = sheet.findChild<IconPickerGrid *>(QStringLiteral("iconPicker"));
    QTest::mouseClick(icons->cell(QStringLiteral("books.vertical")), Qt::LeftButton);
    const QColor purple = AppInfo::colorPalette()[2];
    auto *colors = sheet.findChild<ColorPickerGrid *>(QStringLiteral("colorPicker"));
    QTest::mouseClick(colors->cell(HexColor::toHexOrDefault(purple)), Qt::LeftButton);
    chooseParent(sheet, QStringLiteral("Work"));
    press(sheet, QStringLiteral("confirm"));

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    ASSERT_EQ(m_store->folders().size(), 2u);
    Folder *created = sheet.savedFolder();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->name(), QStringLiteral("Reading"));
    EXPECT_EQ(created->iconName(), QStringLiteral("books.vertical"));
    EXPECT_EQ(created->colorHex(), HexColor::toHex(purple).value());
    EXPECT_EQ(created->parent(), work);
    EXPECT_TRUE(work->children().contains(created));
    EXPECT_TRUE(created->isInStore());
}

TEST_F(FolderEditorSheetTest, ConfirmNeedsANameButKeepsSpaces)
{
    FolderEditorSheet sheet(*m_store, nullptr);
    sheet.show();
    auto *confirm = sheet.findChild<QPushButton *>(QStringLiteral("confirm"));
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("name"));
    EXPECT_FALSE(confirm->isEnabled());
    QTest::keyClicks(name, QStringLiteral("a"));
    EXPECT_TRUE(confirm->isEnabled());
    name->clear();
    EXPECT_FALSE(confirm->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(m_store->folders().empty());

    QTest::keyClicks(name, QStringLiteral("   "));
    EXPECT_TRUE(confirm->isEnabled());
    press(sheet, QStringLiteral("confirm"));
    ASSERT_EQ(m_store->folders().size(), 1u);
    EXPECT_EQ(m_store->folders().front()->name(), QStringLiteral("   "));
}

TEST_F(FolderEditorSheetTest, CancelWritesNothing)
{
    FolderEditorSheet sheet(*m_store, nullptr);
    sheet.show();
    QTest::keyClicks(sheet.findChild<QLineEdit *>(QStringLiteral("name")), QStringLiteral("x"));
    press(sheet, QStringLiteral("cancel"));
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_TRUE(m_store->folders().empty());
}

TEST_F(FolderEditorSheetTest, EditLoadsTheFolder)
{
    Folder *a = add(QStringLiteral("A"));
    Folder *b = add(QStringLiteral("B"), a);
    b->setIconName(QStringLiteral("brain"));
    b->setColorHex(HexColor::toHexOrDefault(AppInfo::colorPalette()[7]));
    FolderEditorSheet sheet(*m_store, b);
    EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Edit Folder"));
    EXPECT_EQ(sheet.findChild<QPushButton *>(QStringLiteral("confirm"))->text(),
              QStringLiteral("Save"));
    EXPECT_EQ(sheet.name(), QStringLiteral("B"));
    EXPECT_EQ(sheet.iconName(), QStringLiteral("brain"));
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), b->colorHex());
    EXPECT_EQ(sheet.selectedParent(), a);

    // Only the chosen icon and colour are highlighted.
    auto *icons = sheet.findChild<IconPickerGrid *>(QStringLiteral("iconPicker"));
    for (const QString &icon : IconPickerGrid::folderIcons())
        EXPECT_EQ(icons->cell(icon)->isChecked(), icon == QStringLiteral("brain"));
    auto *colors = sheet.findChild<ColorPickerGrid *>(QStringLiteral("colorPicker"));
    EXPECT_TRUE(colors->cell(b->colorHex())->isChecked());
}

TEST_F(FolderEditorSheetTest, AllowedParentsAreOtherRootsBySortOrder)
{
    Folder *a = add(QStringLiteral("A"), nullptr, 0);
    Folder *b = add(QStringLiteral("B"), a);
    add(QStringLiteral("C"), b);
    add(QStringLiteral("R"), nullptr, 2);
    add(QStringLiteral("S"), nullptr, 1);
    add(QStringLiteral("T"), nullptr, 2);

    const std::vector<Folder *> &all = m_store->folders();
    EXPECT_EQ(names(FolderEditorSheet::allowedParents(all, nullptr)),
              (QStringList{QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("R"),
                           QStringLiteral("T")}));
    EXPECT_EQ(names(FolderEditorSheet::allowedParents(all, a)),
              (QStringList{QStringLiteral("S"), QStringLiteral("R"), QStringLiteral("T")}));
    EXPECT_EQ(names(FolderEditorSheet::allowedParents(all, b)),
              (QStringList{QStringLiteral("A"), QStringLiteral("S"), QStringLiteral("R"),
                           QStringLiteral("T")}));

    FolderEditorSheet sheet(*m_store, a);
    EXPECT_EQ(choices(sheet), (QStringList{QStringLiteral("None (Root)"), QStringLiteral("S"),
                                           QStringLiteral("R"), QStringLiteral("T")}));
}

TEST_F(FolderEditorSheetTest, MovingAFolderTakesItsChildrenAlong)
{
    Folder *a = add(QStringLiteral("A"));
    Folder *b = add(QStringLiteral("B"), a);
    Folder *r = add(QStringLiteral("R"));
    FolderEditorSheet sheet(*m_store, a);
    sheet.show();
    chooseParent(sheet, QStringLiteral("R"));
    press(sheet, QStringLiteral("confirm"));
    EXPECT_EQ(a->parent(), r);
    EXPECT_EQ(b->parent(), a);
    EXPECT_TRUE(r->allDescendants().contains(b));
}

TEST_F(FolderEditorSheetTest, MovingToTheRootDetaches)
{
    Folder *a = add(QStringLiteral("A"));
    Folder *b = add(QStringLiteral("B"), a);
    FolderEditorSheet sheet(*m_store, b);
    sheet.show();
    chooseParent(sheet, QStringLiteral("None (Root)"));
    press(sheet, QStringLiteral("confirm"));
    EXPECT_EQ(b->parent(), nullptr);
    EXPECT_TRUE(a->children().isEmpty());
}

TEST_F(FolderEditorSheetTest, ANestedParentSurvivesAnUntouchedSave)
{
    Folder *a = add(QStringLiteral("A"));
    Folder *b = add(QStringLiteral("B"), a);
    Folder *c = add(QStringLiteral("C"), b);
    FolderEditorSheet sheet(*m_store, c);
    sheet.show();
    EXPECT_EQ(sheet.selectedParent(), b);
    EXPECT_EQ(sheet.findChild<QComboBox *>(QStringLiteral("parent"))->currentText(),
              QStringLiteral("B"));
    press(sheet, QStringLiteral("confirm"));
    EXPECT_EQ(c->parent(), b);
    EXPECT_EQ(b->parent(), a);
}

TEST_F(FolderEditorSheetTest, SavingStampsModifiedAtAndWritesEveryField)
{
    const QDateTime created(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC);
    Clock::setSource([created] { return created; });
    Folder *f = add(QStringLiteral("Old"));
    EXPECT_EQ(f->modifiedAt(), created);

    const QDateTime later = created.addSecs(3600);
    Clock::setSource([later] { return later; });
    FolderEditorSheet sheet(*m_store, f);
    sheet.show();
    auto *name = sheet.findChild<QLineEdit *>(QStringLiteral("name"));
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("New"));
    auto *icons = sheet.findChild<IconPickerGrid *>(QStringLiteral("iconPicker"));
    QTest::mouseClick(icons->cell(QStringLiteral("heart")), Qt::LeftButton);
    EXPECT_TRUE(icons->cell(QStringLiteral("heart"))->isChecked());
    EXPECT_FALSE(icons->cell(QStringLiteral("folder"))->isChecked());
    const QColor orange = AppInfo::colorPalette()[5];
    auto *colors = sheet.findChild<ColorPickerGrid *>(QStringLiteral("colorPicker"));
    QTest::mouseClick(colors->cell(HexColor::toHexOrDefault(orange)), Qt::LeftButton);
    press(sheet, QStringLiteral("confirm"));

    EXPECT_EQ(f->name(), QStringLiteral("New"));
    EXPECT_EQ(f->iconName(), QStringLiteral("heart"));
    EXPECT_EQ(f->colorHex(), HexColor::toHex(orange).value());
    EXPECT_EQ(f->modifiedAt(), later);
    EXPECT_EQ(f->createdAt(), created);
    EXPECT_EQ(m_store->folders().size(), 1u);
}

TEST_F(FolderEditorSheetTest, ClosesWhenTheEditedFolderIsDeleted)
{
    Folder *a = add(QStringLiteral("A"));
    Folder *b = add(QStringLiteral("B"));
    FolderEditorSheet sheet(*m_store, a);
    sheet.show();
    m_store->remove(b);
    EXPECT_EQ(choices(sheet), QStringList{QStringLiteral("None (Root)")});
    EXPECT_TRUE(sheet.isVisible());
    m_store->remove(a);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

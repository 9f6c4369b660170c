#include "ViewsTestbed.h"

#include <model/Clock.h>
#include <model/HexColor.h>
#include <state/AppInfo.h>
#include <views/dialogs/FolderEditorSheet.h>
#include <views/widgets/ColorPickerGrid.h>
#include <views/widgets/IconPickerGrid.h>

#include <QComboBox>

using namespace quillory;
using namespace Qt::StringLiterals;
using quillory::test::child;
using quillory::test::press;

namespace {

QString paletteHex(int index)
{
    return HexColor::toHexOrDefault(AppInfo::colorPalette()[index]);
}

class FolderEditorSheetTest : public ::testing::Test, protected quillory::test::StoreTestbed
{
protected:
    void TearDown() override { Clock::setSource({}); }

    Folder *add(const QString &name, Folder *parent = nullptr, int sortOrder = 0)
    {
        Folder *f = m_store->insert(
            std::make_unique<Folder>(name, u"folder"_s, AppInfo::colorPalette().first(), parent));
        f->setSortOrder(sortOrder);
        return f;
    }

    // Each folder's parent's name, or "-" for a root, in the order the folders were added.
    QString parents() const
    {
        QStringList texts;
        for (const Folder *f : m_store->folders())
            texts.append(f->parent() != nullptr ? f->parent()->name() : u"-"_s);
        return texts.join(u' ');
    }

    static QString choices(const FolderEditorSheet &sheet)
    {
        const auto *combo = child<QComboBox>(sheet, "parent");
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts.append(combo->itemText(i));
        return texts.join(u", "_s);
    }

    static QString names(const std::vector<Folder *> &folders)
    {
        QStringList texts;
        for (const Folder *f : folders)
            texts.append(f->name());
        return texts.join(u' ');
    }

    static void chooseParent(FolderEditorSheet &sheet, const QString &name)
    {
        auto *combo = child<QComboBox>(sheet, "parent");
        const int index = combo->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        combo->setCurrentIndex(index);
    }

    static void pick(FolderEditorSheet &sheet, const QString &icon, const QString &colorHex)
    {
        QTest::mouseClick(child<IconPickerGrid>(sheet, "iconPicker")->cell(icon), Qt::LeftButton);
        QTest::mouseClick(child<ColorPickerGrid>(sheet, "colorPicker")->cell(colorHex),
                          Qt::LeftButton);
    }
};

} // namespace

// Cancelled, it writes nothing; confirmed, it needs a name, keeps its spaces as typed (spaces
// alone are a name), and creates the folder as chosen.
TEST_F(FolderEditorSheetTest, CreatesTheFolderInTheStoreOnlyWithAName)
{
    Folder *work = add(u"Work"_s);
    {
        FolderEditorSheet cancelled(*m_store, nullptr);
        cancelled.show();
        QTest::keyClicks(child<QLineEdit>(cancelled, "name"), u"x"_s);
        press(cancelled, "cancel");
        EXPECT_EQ(cancelled.result(), QDialog::Rejected);
        EXPECT_EQ(m_store->folders().size(), 1u);
    }
    FolderEditorSheet sheet(*m_store, nullptr);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), u"New Folder"_s);
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    auto *confirm = child<QPushButton>(sheet, "confirm");
    auto *name = child<QLineEdit>(sheet, "name");
    EXPECT_EQ(confirm->text(), u"Create"_s);
    EXPECT_EQ(name->placeholderText(), u"Name"_s);
    EXPECT_EQ(sheet.iconName(), u"folder"_s);
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), paletteHex(0));
    EXPECT_EQ(choices(sheet), u"None (Root), Work"_s);
    EXPECT_EQ(sheet.selectedParent(), nullptr);
    EXPECT_FALSE(confirm->isEnabled());
    QTest::keyClicks(name, u"a"_s);
    EXPECT_TRUE(confirm->isEnabled());
    name->clear();
    EXPECT_FALSE(confirm->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(m_store->folders().size(), 1u);

    QTest::keyClicks(name, u"   "_s);
    EXPECT_TRUE(confirm->isEnabled());
    pick(sheet, u"books.vertical"_s, paletteHex(2));
    chooseParent(sheet, u"Work"_s);
    press(sheet, "confirm");
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    ASSERT_EQ(m_store->folders().size(), 2u);
    Folder *created = sheet.savedFolder();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->name(), u"   "_s);
    EXPECT_EQ(created->iconName(), u"books.vertical"_s);
    EXPECT_EQ(created->colorHex(), paletteHex(2));
    EXPECT_EQ(created->parent(), work);
    EXPECT_TRUE(work->children().contains(created));
    EXPECT_TRUE(created->isInStore());
}

TEST_F(FolderEditorSheetTest, AllowedParentsAreOtherRootsBySortOrderAndFollowTheLibrary)
{
    Folder *a = add(u"A"_s, nullptr, 0);
    Folder *b = add(u"B"_s, a);
    add(u"C"_s, b);
    add(u"R"_s, nullptr, 2);
    Folder *chosen = add(u"S"_s, nullptr, 1);
    add(u"T"_s, nullptr, 2);

    const std::vector<Folder *> &all = m_store->folders();
    EXPECT_EQ(names(FolderEditorSheet::allowedParents(all, nullptr)), u"A S R T"_s);
    EXPECT_EQ(names(FolderEditorSheet::allowedParents(all, a)), u"S R T"_s);
    EXPECT_EQ(names(FolderEditorSheet::allowedParents(all, b)), u"A S R T"_s);
    FolderEditorSheet sheet(*m_store, a);
    EXPECT_EQ(choices(sheet), u"None (Root), S, R, T"_s);

    // The chosen parent going away is not quietly replaced by the next one in the list; the
    // edited folder going away closes the sheet.
    sheet.show();
    chooseParent(sheet, u"S"_s);
    m_store->remove(chosen);
    EXPECT_EQ(choices(sheet), u"None (Root), R, T"_s);
    EXPECT_EQ(child<QComboBox>(sheet, "parent")->currentText(), u"None (Root)"_s);
    EXPECT_TRUE(sheet.isVisible());
    m_store->remove(a);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
}

TEST_F(FolderEditorSheetTest, SavingKeepsOrChangesTheParent)
{
    // A moved folder takes its children along; a nested parent, which is not offered as a
    // choice, survives a save that leaves the parent untouched.
    struct Case
    {
        const char *edited;
        const char *chosen; // null: left as it is
        const char *shownParent;
        const char *parents; // of A, B, C and R
    };
    const Case cases[] = {{"A", "R", "None (Root)", "R A B -"},
                          {"B", "None (Root)", "A", "- - B -"},
                          {"C", nullptr, "B", "- A B -"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.edited);
        m_store->removeAll(RecordKind::Folder);
        Folder *a = add(u"A"_s);
        Folder *b = add(u"B"_s, a);
        Folder *folders[] = {a, b, add(u"C"_s, b), add(u"R"_s)};
        Folder *edited = *std::find_if(std::begin(folders), std::end(folders), [&](Folder *f) {
            return f->name() == QLatin1StringView(c.edited);
        });
        FolderEditorSheet sheet(*m_store, edited);
        sheet.show();
        EXPECT_EQ(child<QComboBox>(sheet, "parent")->currentText(),
                  QString::fromLatin1(c.shownParent));
        if (c.chosen != nullptr)
            chooseParent(sheet, QString::fromLatin1(c.chosen));
        press(sheet, "confirm");
        EXPECT_EQ(parents(), QString::fromLatin1(c.parents));
    }
}

TEST_F(FolderEditorSheetTest, EditLoadsTheFolderAndSavingStampsModifiedAtAndWritesEveryField)
{
    const QDateTime created(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC);
    Clock::setSource([created] { return created; });
    Folder *a = add(u"A"_s);
    Folder *f = add(u"Old"_s, a);
    f->setIconName(u"brain"_s);
    f->setColorHex(paletteHex(7));
    EXPECT_EQ(f->modifiedAt(), created);

    const QDateTime later = created.addSecs(3600);
    Clock::setSource([later] { return later; });
    FolderEditorSheet sheet(*m_store, f);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), u"Edit Folder"_s);
    EXPECT_EQ(child<QPushButton>(sheet, "confirm")->text(), u"Save"_s);
    EXPECT_EQ(sheet.name(), u"Old"_s);
    EXPECT_EQ(sheet.iconName(), u"brain"_s);
    EXPECT_EQ(HexColor::toHexOrDefault(sheet.color()), paletteHex(7));
    EXPECT_EQ(sheet.selectedParent(), a);
    // Only the chosen icon and colour are highlighted.
    auto *icons = child<IconPickerGrid>(sheet, "iconPicker");
    for (const QString &icon : IconPickerGrid::folderIcons())
        EXPECT_EQ(icons->cell(icon)->isChecked(), icon == u"brain"_s);
    EXPECT_TRUE(child<ColorPickerGrid>(sheet, "colorPicker")->cell(paletteHex(7))->isChecked());

    auto *name = child<QLineEdit>(sheet, "name");
    name->selectAll();
    QTest::keyClicks(name, u"New"_s);
    pick(sheet, u"heart"_s, paletteHex(5));
    EXPECT_TRUE(icons->cell(u"heart"_s)->isChecked());
    EXPECT_FALSE(icons->cell(u"brain"_s)->isChecked());
    press(sheet, "confirm");

    EXPECT_EQ(f->name(), u"New"_s);
    EXPECT_EQ(f->iconName(), u"heart"_s);
    EXPECT_EQ(f->colorHex(), paletteHex(5));
    EXPECT_EQ(f->modifiedAt(), later);
    EXPECT_EQ(f->createdAt(), created);
    EXPECT_EQ(f->parent(), a);
    EXPECT_EQ(m_store->folders().size(), 2u);
}

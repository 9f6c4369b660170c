#include "ViewsTestbed.h"

#include <exchange/ExportJob.h>
#include <platform/NullBiometrics.h>
#include <platform/NullFileRevealer.h>
#include <platform/NullKeychain.h>
#include <security/SecurityService.h>
#include <state/AppState.h>
#include <views/dialogs/BackupPassphraseSheet.h>
#include <views/dialogs/ExportSheet.h>
#include <views/dialogs/ImportFlow.h>
#include <views/settings/SettingsView.h>
#include <views/settings/TagManagementView.h>
#include <views/widgets/RowButton.h>
#include <views/widgets/SecureFieldWithToggle.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QProgressDialog>
#include <QRegularExpression>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

class SettingsTest : public ::testing::Test, protected quillory::test::StoreTestbed
{
protected:
    SettingsTest()
        : m_state(
              std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)),
          m_security(
              std::make_unique<NullKeychain>(), std::make_unique<NullBiometrics>(),
              std::make_unique<QSettings>(m_dir.filePath(u"security.ini"_s), QSettings::IniFormat))
    {
        m_state.followStore(*m_store);
    }

    static void fill(LibraryStore &store)
    {
        Tag *tag = store.insert(std::make_unique<Tag>(u"reading"_s, QColor(255, 0, 0)));
        Folder *folder = store.insert(std::make_unique<Folder>(u"Work"_s, u"folder"_s, QColor()));
        auto item = std::make_unique<Item>(ItemType::WebLink, u"Qt"_s,
                                           QUrl(u"https://www.qt.io/"_s), u"note"_s, folder);
        item->addTag(tag);
        store.insert(std::move(item));
        store.insert(std::make_unique<Item>(ItemType::Screenshot, u"Shot"_s));
    }

    static QStringList counts(QLabel *items, QLabel *folders, QLabel *tags)
    {
        return {items->text(), folders->text(), tags->text()};
    }
    static QStringList counts(const SettingsView &view)
    {
        return counts(view.itemsCount(), view.foldersCount(), view.tagsCount());
    }
    static QStringList counts(const ExportSheet &sheet)
    {
        return counts(sheet.itemsCount(), sheet.foldersCount(), sheet.tagsCount());
    }

    // Writes an export (or a backup) of `store` into the test folder and returns its path;
    // the file stays while the test runs.
    QString exportOf(LibraryStore &store, const ExportService::FileOptions &options)
    {
        ExportJob job(store, options, m_dir.path());
        QSignalSpy finished(&job, &ExportJob::finished);
        job.start();
        EXPECT_TRUE(finished.wait(5000));
        m_exports.push_back(job.folder());
        return finished.isEmpty() ? QString() : finished.first().first().toString();
    }
    QString exportOfAnotherLibrary(const ExportService::FileOptions &options)
    {
        auto other = openStore(u"other.store"_s);
        fill(*other);
        return exportOf(*other, options);
    }
    // Presses Export and waits for the export to end.
    static void runExport(ExportSheet &sheet)
    {
        QSignalSpy ended(&sheet, &ExportSheet::exportEnded);
        sheet.findChild<QPushButton *>(u"export"_s)->click();
        ASSERT_TRUE(ended.wait(5000));
    }
    // Where the sheet's export waits: a folder of ours alone, named unpredictably.
    static void expectPrivateFolder(const QString &file, const QString &under)
    {
        const QFileInfo folder(QFileInfo(file).absolutePath());
        EXPECT_EQ(folder.absolutePath(), QFileInfo(under).absoluteFilePath());
        EXPECT_TRUE(
            folder.fileName().contains(QRegularExpression(u"^quillory-export-[A-Za-z0-9]{6}$"_s)))
            << folder.fileName().toStdString();
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        EXPECT_EQ(folder.permissions() & others, QFile::Permissions()) << "mode 0700";
        EXPECT_EQ(folder.ownerId(), QFileInfo(QDir::homePath()).ownerId());
    }

    AppState m_state;
    SecurityService m_security;
    NullFileRevealer m_revealer;
    std::vector<std::shared_ptr<const QTemporaryDir>> m_exports;
};

// The form, its pages, and the keys that leave a page and close the window.
TEST_F(SettingsTest, FormShowsTheLibraryTheVersionAndTheEncryptionStatusAndTheKeysCloseIt)
{
    fill(*m_store);
    SettingsView view(m_state, *m_store, m_security, m_revealer);
    EXPECT_EQ(view.windowTitle(), u"Settings"_s);
    EXPECT_EQ(counts(view), (QStringList{u"2"_s, u"1"_s, u"1"_s}));
    m_store->insert(std::make_unique<Tag>(u"later"_s, QColor()));
    EXPECT_EQ(view.tagsCount()->text(), u"2"_s) << "the counts follow the library";
    EXPECT_EQ(view.encryptionRow()->trailingText(), u"Off"_s);
    EXPECT_TRUE(view.findChild<QLabel *>(u"version"_s)
                    ->text()
                    .contains(QRegularExpression(u"^\\S+ \\(\\S+\\)$"_s)))
        << view.findChild<QLabel *>(u"version"_s)->text().toStdString();
    // What the security row promises: the window is locked, the file is not sealed.
    QStringList footers;
    for (const QLabel *label : view.findChildren<QLabel *>(u"formGroupFooter"_s))
        footers << label->text();
    EXPECT_TRUE(footers.join(u' ').contains(u"the library file itself is not encrypted yet"_s))
        << footers.join(u" | "_s).toStdString();

    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.showPrivacy();
    EXPECT_EQ(view.currentPage()->objectName(), u"privacySettings"_s);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(view.currentPage()->objectName(), u"settingsForm"_s);
    EXPECT_TRUE(view.isVisible());
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());

    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.showTagManagement();
    EXPECT_NE(qobject_cast<TagManagementView *>(view.currentPage()), nullptr);
    QTest::keyClick(&view, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(view.isVisible()) << "Ctrl+W closes from any page";
}

TEST_F(SettingsTest, AppearancePreferencesAreStoredAtOnce)
{
    SettingsView view(m_state, *m_store, m_security, m_revealer);
    Preferences &preferences = m_state.preferences();
    EXPECT_EQ(view.findChild<QComboBox *>(u"defaultView"_s)->currentText(), u"Grid"_s);
    EXPECT_TRUE(view.findChild<QCheckBox *>(u"showItemCounts"_s)->isChecked());
    EXPECT_TRUE(view.findChild<QCheckBox *>(u"confirmBeforeDelete"_s)->isChecked());

    QSignalSpy changed(&preferences, &Preferences::changed);
    view.findChild<QComboBox *>(u"defaultView"_s)->setCurrentIndex(1);
    emit view.findChild<QComboBox *>(u"defaultView"_s)->activated(1);
    view.findChild<QCheckBox *>(u"showItemCounts"_s)->click();
    view.findChild<QCheckBox *>(u"confirmBeforeDelete"_s)->click();
    EXPECT_EQ(changed.count(), 3);
    const QSettings stored(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat);
    EXPECT_EQ(stored.value(u"preferredViewMode"_s).toString(), u"list"_s);
    EXPECT_FALSE(stored.value(u"showItemCounts"_s).toBool());
    EXPECT_FALSE(stored.value(u"confirmBeforeDelete"_s).toBool());

    // A stored value nobody wrote reads as the default.
    preferences.setShowItemCounts(true);
    EXPECT_TRUE(view.findChild<QCheckBox *>(u"showItemCounts"_s)->isChecked())
        << "the switch follows the preference";
    QSettings(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat)
        .setValue(u"preferredViewMode"_s, u"mosaic"_s);
    Preferences reread(
        std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat));
    EXPECT_EQ(reread.preferredViewMode(), ViewMode::Grid);
}

TEST_F(SettingsTest, DeleteEverythingAsksThenEmptiesTheLibrary)
{
    fill(*m_store);
    SettingsView view(m_state, *m_store, m_security, m_revealer);
    QString message;
    bool confirm = false;
    view.setSheetHook([&](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        EXPECT_EQ(box.text(), u"Delete All Data?"_s);
        message = box.informativeText();
        test::answer(box, confirm ? u"Delete Everything"_s : u"Cancel"_s);
    });
    view.deleteAllRow()->click();
    EXPECT_EQ(message, u"This will permanently delete all items, folders, and tags. This cannot "
                       "be undone."_s);
    EXPECT_EQ(counts(view), (QStringList{u"2"_s, u"1"_s, u"1"_s})) << "cancel keeps everything";

    confirm = true;
    view.deleteAllRow()->click();
    EXPECT_EQ(counts(view), (QStringList{u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_TRUE(m_store->items().empty() && m_store->folders().empty() && m_store->tags().empty());
    ASSERT_TRUE(m_store->save());
    auto reopened = openStore(u"library.store"_s);
    EXPECT_TRUE(reopened->items().empty()) << "the deletion reaches the file";
}

TEST_F(SettingsTest, ExportButtonNeedsEightCharactersOnlyWhileEncrypting)
{
    ExportSheet sheet(*m_store, m_revealer);
    sheet.show();
    QPushButton *exportButton = sheet.findChild<QPushButton *>(u"export"_s);
    SecureFieldWithToggle *passphrase = sheet.passphraseField();
    EXPECT_TRUE(exportButton->isEnabled());
    EXPECT_FALSE(passphrase->isVisible());

    sheet.findChild<QCheckBox *>(u"encryptBackup"_s)->click();
    EXPECT_TRUE(passphrase->isVisible());
    EXPECT_TRUE(sheet.findChild<QCheckBox *>(u"includeImages"_s)->isVisible())
        << "turning encryption on hides nothing";
    EXPECT_FALSE(exportButton->isEnabled());
    passphrase->setText(u"1234567"_s);
    EXPECT_FALSE(exportButton->isEnabled()) << "7 characters";
    passphrase->setText(u"12345678"_s);
    EXPECT_TRUE(exportButton->isEnabled()) << "8 characters";
    passphrase->setText(u"\U0001F511\U0001F511\U0001F511\U0001F511"_s);
    EXPECT_TRUE(exportButton->isEnabled()) << "counted as the library passphrase is";

    passphrase->setText(u"secret-passphrase"_s);
    sheet.findChild<QCheckBox *>(u"encryptBackup"_s)->click();
    EXPECT_FALSE(passphrase->isVisible());
    EXPECT_EQ(passphrase->text(), u"secret-passphrase"_s) << "hidden, the text stays";
    EXPECT_TRUE(exportButton->isEnabled());
}

TEST_F(SettingsTest, EmptyLibraryStillExportsAndTheFileCanBeSaved)
{
    QTemporaryDir produced;
    ExportSheet sheet(*m_store, m_revealer);
    sheet.setDirectory(produced.path());
    sheet.show();
    EXPECT_EQ(counts(sheet), (QStringList{u"0"_s, u"0"_s, u"0"_s}));
    EXPECT_FALSE(sheet.doneSection()->isVisible());

    QSignalSpy ended(&sheet, &ExportSheet::exportEnded);
    sheet.findChild<QPushButton *>(u"export"_s)->click();
    EXPECT_TRUE(sheet.findChild<QWidget *>(u"exportProgress"_s)->isVisible());
    EXPECT_FALSE(sheet.findChild<QPushButton *>(u"export"_s)->isEnabled())
        << "one export at a time";
    ASSERT_TRUE(ended.wait(5000));
    ASSERT_TRUE(sheet.exportResult());
    const QString written = *sheet.exportResult();
    expectPrivateFolder(written, produced.path());
    EXPECT_TRUE(written.endsWith(u".json"_s));
    EXPECT_TRUE(QFile::exists(written));
    EXPECT_TRUE(sheet.doneSection()->isVisible());
    EXPECT_FALSE(sheet.findChild<QWidget *>(u"exportProgress"_s)->isVisible());

    sheet.findChild<QPushButton *>(u"showInFileManager"_s)->click();
    EXPECT_EQ(m_revealer.requests(), QStringList{written});

    QFile original(written);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray document = original.readAll();
    const QString kept = m_dir.filePath(u"kept.json"_s);
    QString suggested;
    QString chosen; // empty: the dialog was cancelled
    sheet.setSaveLocationHook([&](const QString &path) {
        suggested = path;
        return chosen;
    });
    // The save dialog opens in a folder that exists: the tests' home has no Documents folder,
    // so the home folder is offered, until there is one.
    ASSERT_FALSE(QFileInfo::exists(QDir::home().filePath(u"Documents"_s)));
    sheet.saveButton()->click();
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QDir::homePath());
    EXPECT_EQ(QFileInfo(suggested).fileName(), QFileInfo(written).fileName());
    ASSERT_TRUE(QDir::home().mkdir(u"Documents"_s));
    chosen = kept;
    sheet.saveButton()->click();
    EXPECT_EQ(QFileInfo(suggested).absolutePath(), QDir::home().filePath(u"Documents"_s));
    QDir::home().rmdir(u"Documents"_s);
    ASSERT_EVENTUALLY(QFile::exists(kept), 5000);
    QFile copy(kept);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), document);
    // Once saved, the plain copy in the temporary folder goes, folder and all.
    ASSERT_EVENTUALLY(!QFileInfo::exists(QFileInfo(written).absolutePath()), 5000);
    EXPECT_EQ(sheet.exportResult(), kept);
}

TEST_F(SettingsTest, AnExportNotSavedGoesWhenTheSheetCloses)
{
    fill(*m_store);
    QTemporaryDir produced;
    ExportSheet sheet(*m_store, m_revealer);
    sheet.setDirectory(produced.path());
    sheet.show();
    runExport(sheet);
    ASSERT_TRUE(sheet.exportResult());
    const QString first = *sheet.exportResult();
    expectPrivateFolder(first, produced.path());

    // A second export takes the first one's place, in a folder of its own.
    sheet.findChild<QCheckBox *>(u"includeImages"_s)->click();
    runExport(sheet);
    const QString second = sheet.exportResult().value_or(QString());
    expectPrivateFolder(second, produced.path());
    EXPECT_NE(QFileInfo(first).absolutePath(), QFileInfo(second).absolutePath());
    ASSERT_EVENTUALLY(!QFileInfo::exists(QFileInfo(first).absolutePath()), 5000);
    EXPECT_TRUE(QFile::exists(second));

    sheet.findChild<QPushButton *>(u"close"_s)->click();
    EXPECT_FALSE(sheet.isVisible());
    ASSERT_EVENTUALLY(!QFileInfo::exists(QFileInfo(second).absolutePath()), 5000);
    EXPECT_EQ(QDir(produced.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList())
        << "nothing is left behind";
}

TEST_F(SettingsTest, ExportThatCannotBeWrittenShowsTheErrorAndChangesNothing)
{
    fill(*m_store);
    ExportSheet sheet(*m_store, m_revealer);
    sheet.setDirectory(m_dir.filePath(u"missing/folder"_s));
    QString title, shownMessage, buttonText;
    sheet.setSheetHook([&](QDialog &dialog) {
        auto &alert = static_cast<QMessageBox &>(dialog);
        title = alert.windowTitle();
        shownMessage = alert.text();
        buttonText = alert.buttons().value(0)->text();
    });
    runExport(sheet);
    EXPECT_EQ(title, u"Export Error"_s);
    EXPECT_FALSE(shownMessage.isEmpty());
    EXPECT_EQ(buttonText, u"OK"_s);
    EXPECT_FALSE(sheet.exportResult());
    EXPECT_TRUE(sheet.findChild<QPushButton *>(u"export"_s)->isEnabled())
        << "the sheet stays usable";
    EXPECT_EQ(m_store->items().size(), 2u);
}

TEST_F(SettingsTest, ImportShowsItsProgressThenWhatItAddedAndAFileThatIsNotAnExportChangesNothing)
{
    const QString file = exportOfAnotherLibrary({});
    const QString notAnExport =
        test::writeTestFile(m_dir, u"photo.json"_s, "\x89PNG\r\n\x1a\n not json at all");
    SettingsView view(m_state, *m_store, m_security, m_revealer);
    ImportFlow &flow = view.importFlow();
    flow.setProgressDelay(0); // what a large file gets after the delay
    QString summary;
    bool progressUnderSummary = true;
    view.setSheetHook([&](QDialog &dialog) {
        progressUnderSummary = flow.progressDialog() && flow.progressDialog()->isVisible();
        summary = static_cast<QMessageBox &>(dialog).text();
        dialog.close();
    });
    QSignalSpy ended(&flow, &ImportFlow::ended);
    flow.setOpenFileHook([&] { return file; });
    view.importRow()->click();
    // The import needs a worker, a transaction and a sync: the window's next pass comes first.
    ASSERT_EVENTUALLY(flow.progressDialog() && flow.progressDialog()->isVisible(), 5000);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_EQ(flow.progressDialog()->windowModality(), Qt::WindowModal);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_FALSE(progressUnderSummary) << "the progress is gone before the summary";
    EXPECT_FALSE(flow.progressDialog());
    EXPECT_EQ(summary, u"Imported 2 items, 1 folder, 1 tag"_s);
    EXPECT_EQ(counts(view), (QStringList{u"2"_s, u"1"_s, u"1"_s}));
    EXPECT_FALSE(m_state.showErrorAlert());

    flow.setOpenFileHook([&] { return notAnExport; });
    view.importRow()->click();
    ASSERT_TRUE(ended.wait(10000));
    ASSERT_TRUE(m_state.currentError());
    EXPECT_EQ(m_state.currentError()->kind(), AppError::Kind::Import);
    EXPECT_TRUE(m_state.showErrorAlert());
    EXPECT_EQ(counts(view), (QStringList{u"2"_s, u"1"_s, u"1"_s}));

    flow.setOpenFileHook([] { return QString(); });
    view.importRow()->click();
    EXPECT_FALSE(flow.isRunning()) << "a cancelled picker imports nothing";
}

TEST_F(SettingsTest, BackupAsksForItsPassphraseAndAWrongOneChangesNothing)
{
    const QString backup = exportOfAnotherLibrary({false, true, u"correct horse"_s});
    ASSERT_TRUE(backup.endsWith(u".qlbackup"_s));
    SettingsView view(m_state, *m_store, m_security, m_revealer);
    QString answer;
    int asked = 0;
    view.setSheetHook([&](QDialog &dialog) {
        if (auto *sheet = qobject_cast<BackupPassphraseSheet *>(&dialog)) {
            ++asked;
            sheet->passphraseField()->setText(answer);
            sheet->accept();
        } else {
            dialog.close();
        }
    });
    ImportFlow &flow = view.importFlow();
    QSignalSpy ended(&flow, &ImportFlow::ended);

    answer = u"wrong horse"_s;
    flow.importFile(backup);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(m_state.currentError());
    EXPECT_EQ(m_state.currentError()->kind(), AppError::Kind::Import);
    EXPECT_TRUE(m_store->items().empty());

    answer = u"correct horse"_s;
    flow.importFile(backup);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(m_store->items().size(), 2u);
}

} // namespace

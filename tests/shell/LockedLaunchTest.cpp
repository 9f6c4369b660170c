#include "Eventually.h"
#include "QuilloryProcess.h"
#include "TestKeyring.h"

#include <inbox/InboxFiles.h>
#include <inbox/InboxLayout.h>
#include <inbox/PendingItemRecord.h>
#include <intake/ItemIntake.h>
#include <model/Item.h>
#include <model/LibraryStore.h>
#include <platform/NullBiometrics.h>
#include <platform/SecretServiceKeychain.h>
#include <security/SecurityService.h>
#include <shell/QuilloryApp.h>
#include <views/widgets/SecureFieldWithToggle.h>
#include <views/window/MainWindow.h>
#include <views/window/Sidebar.h>
#include <views/window/UnlockView.h>

#include <QDir>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::TestKeyring;

namespace {

class LockedLaunchTest : public quillory::test::KeyringTest
{
protected:
    std::unique_ptr<SecurityService> security(const QString &settingsPath,
                                              const QString &service = TestKeyring::freshService())
    {
        return std::make_unique<SecurityService>(
            std::make_unique<SecretServiceKeychain>(), std::make_unique<NullBiometrics>(),
            std::make_unique<QSettings>(settingsPath, QSettings::IniFormat), service);
    }

    static QList<QAction *> enabledMenuCommands(MainWindow &window)
    {
        QList<QAction *> enabled;
        for (QAction *menu : window.menuBar()->actions()) {
            for (QAction *command : menu->menu()->actions()) {
                if (command->isEnabled() && !command->isSeparator())
                    enabled << command;
            }
        }
        return enabled;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(LockedLaunchTest, TheLibraryAndNewItemsWaitForThePassphrase)
{
    const QString settings = m_dir.filePath(QStringLiteral("settings.ini"));
    const QString service = TestKeyring::freshService();
    ASSERT_FALSE(security(settings, service)->enableEncryption(passphrase));
    auto relaunched = security(settings, service);
    ASSERT_TRUE(relaunched->isLocked());

    // Dropslip left a link while Quillory was not running.
    const auto inbox = InboxLayout::ensureInbox();
    ASSERT_TRUE(inbox);
    PendingItemRecord record;
    record.type = QStringLiteral("web_link");
    record.title = QStringLiteral("Shared while locked");
    record.createdAt = QDateTime::currentDateTimeUtc();
    record.url = QStringLiteral("https://example.com/shared");
    ASSERT_TRUE(InboxFiles::writeAtomically(
        QDir(*inbox).filePath(InboxLayout::uniqueName(InboxLayout::recordSuffix)),
        record.toJson()));

    QString error;
    auto app = QuilloryApp::create(
        LibraryStore::open(m_dir.filePath(QStringLiteral("s.store")), &error), relaunched.get());
    app->start();
    MainWindow *window = app->mainWindow();
    ASSERT_TRUE(window->isLocked());
    auto *unlock = window->findChild<UnlockView *>();
    ASSERT_NE(unlock, nullptr);
    EXPECT_TRUE(unlock->isVisible());
    EXPECT_FALSE(window->sidebar().isVisible());
    const QList<QAction *> enabled = enabledMenuCommands(*window);
    ASSERT_EQ(enabled.size(), 1);
    EXPECT_EQ(enabled.first()->text(), QStringLiteral("Quit Quillory"));
    app->showSettings(); // as the tray's entry does
    EXPECT_EQ(app->settingsWindow(), nullptr) << "nothing of a locked library shows";

    // A paste from the tray waits too.
    QMimeData pasted;
    pasted.setText(QStringLiteral("https://example.com/pasted"));
    EXPECT_TRUE(app->intake().addFrom(pasted));
    QTest::qWait(800); // past the late start-up step and its first inbox scan
    EXPECT_TRUE(app->store().items().empty());

    unlock->passphraseField()->setText(passphrase);
    unlock->findChild<QPushButton *>(QStringLiteral("unlock"))->click();
    ASSERT_EVENTUALLY(!window->isLocked(), 10000);
    EXPECT_TRUE(window->sidebar().isVisible());
    EXPECT_GT(enabledMenuCommands(*window).size(), 1);
    ASSERT_EVENTUALLY((app->store().items().size()) == (size_t(2)), 10000);
    QStringList urls;
    for (const Item *item : app->store().items())
        urls << item->urlString().value_or(QString());
    urls.sort();
    EXPECT_EQ(urls, (QStringList{QStringLiteral("https://example.com/pasted"),
                                 QStringLiteral("https://example.com/shared")}));
}

// The real program, relaunched after the verification record vanished from the keyring:
// encryption is turned off, and what is left is left alone.
TEST_F(LockedLaunchTest, ARelaunchWithoutTheVerificationRecordTurnsEncryptionOff)
{
    const QString home = m_dir.path();
    const QString settings = home + QStringLiteral("/config/Quillory/Quillory.conf");
    {
        auto first = security(settings, KeychainService::defaultService);
        ASSERT_FALSE(first->enableEncryption(passphrase));
        ASSERT_FALSE(first->enableBiometricUnlock(passphrase));
        ASSERT_FALSE(first->keychain().deleteItem(SecurityService::verifyAccount));
    }
    QProcess quillory;
    quillory::test::startQuillory(quillory, home,
                                  QString::fromUtf8(qgetenv("QUILLORY_KEYRING_BUS")));
    ASSERT_TRUE(quillory.waitForStarted(10000));
    QByteArray output;
    ASSERT_EVENTUALLY(
        (output += quillory.readAllStandardOutput()).contains("Keychain integrity check failed: "),
        15000);
    EXPECT_TRUE(
        output.contains("Keychain integrity check failed: Keychain error: Load failed: -25300\n"))
        << output.constData();
    ASSERT_EVENTUALLY(!QSettings(settings, QSettings::IniFormat)
                           .value(SecurityService::encryptionEnabledKey, true)
                           .toBool(),
                      10000);
    quillory.terminate();
    ASSERT_TRUE(quillory.waitForFinished(10000));
    EXPECT_EQ(quillory.exitCode(), 0);
    EXPECT_TRUE(QSettings(settings, QSettings::IniFormat)
                    .value(SecurityService::biometricUnlockEnabledKey)
                    .toBool());
    EXPECT_TRUE(security(settings, KeychainService::defaultService)
                    ->keychain()
                    .load(SecurityService::saltAccount)
                    .ok());
}

#include "ViewsTestbed.h"

#include <FakeFprintd.h>
#include <TestKeyring.h>
#include <platform/FprintdBiometrics.h>
#include <platform/NullBiometrics.h>
#include <platform/SecretServiceKeychain.h>
#include <security/SecurityService.h>
#include <views/dialogs/BiometricEnableSheet.h>
#include <views/dialogs/PassphraseSetupSheet.h>
#include <views/settings/PrivacySettingsView.h>
#include <views/widgets/SecureFieldWithToggle.h>
#include <views/window/UnlockView.h>

#include <QCheckBox>
#include <QSettings>

using namespace quillory;
using quillory::test::FakeFprintd;
using quillory::test::TestKeyring;
using namespace Qt::StringLiterals;

namespace {

// The privacy screens over a real keyring and, when asked for, a fingerprint reader with
// one enrolled finger.
class PrivacyScreensTest : public quillory::test::KeyringTest
{
protected:
    SecurityService &security(bool withReader = false)
    {
        std::unique_ptr<Biometrics> biometrics;
        if (withReader) {
            m_fprintd = std::make_unique<FakeFprintd>();
            m_fprintd->device.enrolledFingers = {u"right-index-finger"_s};
            biometrics = std::make_unique<FprintdBiometrics>(m_fprintd->client());
        } else {
            biometrics = std::make_unique<NullBiometrics>();
        }
        m_security = std::make_unique<SecurityService>(
            std::make_unique<SecretServiceKeychain>(), std::move(biometrics),
            std::make_unique<QSettings>(m_dir.filePath(u"settings.ini"_s), QSettings::IniFormat),
            m_service);
        return *m_security;
    }

    static SecureFieldWithToggle *confirmation(QDialog &sheet)
    {
        return sheet.findChild<SecureFieldWithToggle *>(u"confirmPassphrase"_s);
    }
    static QPushButton *fingerButton(const UnlockView &view)
    {
        return view.findChild<QPushButton *>(u"unlockWithBiometrics"_s);
    }

    // A later launch of a library locked with a passphrase and a finger, at the unlock screen.
    std::unique_ptr<UnlockView> lockedWithFinger()
    {
        EXPECT_FALSE(security(true).enableEncryption(passphrase));
        EXPECT_FALSE(m_security->enableBiometricUnlock(passphrase));
        m_security->clearKey();
        EXPECT_TRUE(m_security->isLocked());
        auto view = std::make_unique<UnlockView>(*m_security);
        view->show();
        EXPECT_EVENTUALLY(fingerButton(*view)->isVisible(), 5000);
        return view;
    }

    static bool isMet(QDialog &sheet, const char *rule)
    {
        return sheet.findChild<QLabel *>(QString::fromLatin1(rule))->property("met").toBool();
    }

    QTemporaryDir m_dir;
    QString m_service = TestKeyring::freshService();
    std::unique_ptr<FakeFprintd> m_fprintd;
    std::unique_ptr<SecurityService> m_security;
};

} // namespace

TEST_F(PrivacyScreensTest, PassphraseRulesDecideWhetherEnableIsOffered)
{
    PassphraseSetupSheet sheet(security());
    const struct
    {
        QString passphrase;
        QString confirmation;
        bool length;
        bool match;
    } cases[] = {
        {{}, {}, false, false},
        {u"1234567"_s, u"1234567"_s, false, true},
        {u"12345678"_s, u"1234567"_s, true, false},
        {u"12345678"_s, u"12345678"_s, true, true},
        // Matching means exactly: a trailing space is another passphrase.
        {u"12345678"_s, u"12345678 "_s, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString(c.passphrase + u'|' + c.confirmation).toStdString());
        sheet.passphraseField()->setText(c.passphrase);
        confirmation(sheet)->setText(c.confirmation);
        EXPECT_EQ(isMet(sheet, "lengthRule"), c.length);
        EXPECT_EQ(isMet(sheet, "matchRule"), c.match);
        EXPECT_EQ(sheet.enableButton()->isEnabled(), c.length && c.match);
    }
}

TEST_F(PrivacyScreensTest, TurningEncryptionOnGoesThroughThePassphraseSheet)
{
    PrivacySettingsView view(security());
    view.setSheetHook([](QDialog &dialog) {
        auto *sheet = qobject_cast<PassphraseSetupSheet *>(&dialog);
        sheet->passphraseField()->setText(passphrase);
        sheet->findChild<QPushButton *>(u"cancel"_s)->click();
    });
    view.encryptionToggle()->click();
    EXPECT_FALSE(view.encryptionToggle()->isChecked()) << "cancelled";
    EXPECT_FALSE(m_security->isEncryptionEnabled());

    bool sawSheet = false;
    view.setSheetHook([&](QDialog &dialog) {
        auto *sheet = qobject_cast<PassphraseSetupSheet *>(&dialog);
        ASSERT_NE(sheet, nullptr);
        sawSheet = true;
        sheet->passphraseField()->setText(passphrase);
        confirmation(*sheet)->setText(passphrase);
        QTest::mouseClick(sheet->enableButton(), Qt::LeftButton);
        ASSERT_EVENTUALLY((sheet->result()) == (int(QDialog::Accepted)), 10000);
    });
    view.encryptionToggle()->click();
    EXPECT_TRUE(sawSheet);
    EXPECT_TRUE(view.encryptionToggle()->isChecked());
    EXPECT_TRUE(m_security->isEncryptionEnabled());
    EXPECT_FALSE(m_security->isLocked());
    // No reader: the fingerprint section stays away even with encryption on.
    EXPECT_TRUE(view.biometricSection()->isHidden());
}

// Cancelled, the question keeps encryption but not the fingerprint; confirmed, it removes all.
TEST_F(PrivacyScreensTest, DisablingAsksFirst)
{
    ASSERT_FALSE(security(true).enableEncryption(passphrase));
    ASSERT_FALSE(m_security->enableBiometricUnlock(passphrase));
    PrivacySettingsView view(*m_security);
    ASSERT_TRUE(view.encryptionToggle()->isChecked());
    ASSERT_EVENTUALLY(!view.biometricSection()->isHidden(), 5000);
    EXPECT_EQ(view.biometricToggle()->text(), u"Unlock with Fingerprint"_s);
    EXPECT_TRUE(view.biometricToggle()->isChecked());
    QString question;
    QString reply = u"Cancel"_s;
    view.setSheetHook([&](QDialog &dialog) {
        auto *box = qobject_cast<QMessageBox *>(&dialog);
        ASSERT_NE(box, nullptr);
        question = box->text() + QLatin1Char('|') + box->informativeText();
        test::answer(*box, reply);
    });

    view.encryptionToggle()->click();
    EXPECT_EQ(question,
              u"Disable Encryption?|Quillory will open without asking for a "
              "passphrase, and the passphrase's records are removed from your keyring."_s);
    EXPECT_TRUE(view.encryptionToggle()->isChecked());
    EXPECT_TRUE(m_security->isEncryptionEnabled());
    EXPECT_FALSE(view.biometricToggle()->isChecked());
    ASSERT_EVENTUALLY(!m_security->isBiometricUnlockEnabled(), 10000);
    ASSERT_EVENTUALLY(!m_security->keychain().load(SecurityService::biometricKeyAccount).ok(),
                      10000);

    reply = u"Disable Encryption"_s;
    view.encryptionToggle()->click();
    ASSERT_EVENTUALLY(!m_security->isEncryptionEnabled(), 10000);
    EXPECT_FALSE(view.encryptionToggle()->isChecked());
    EXPECT_FALSE(m_security->keychain().load(SecurityService::saltAccount).ok());
}

TEST_F(PrivacyScreensTest, AWrongPassphraseForTheFingerprintKeepsTheSheetOpen)
{
    ASSERT_FALSE(security(true).enableEncryption(passphrase));
    PrivacySettingsView view(*m_security);
    ASSERT_EVENTUALLY(!view.biometricSection()->isHidden(), 5000);

    QString alertTitle;
    QString alertText;
    bool toggleOnWhileOpen = false;
    view.setSheetHook([&](QDialog &dialog) {
        auto *sheet = qobject_cast<BiometricEnableSheet *>(&dialog);
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(sheet->windowTitle(), u"Enable Fingerprint"_s);
        EXPECT_FALSE(sheet->enableButton()->isEnabled());
        sheet->passphraseField()->setText(u"not the passphrase"_s);
        QTest::mouseClick(sheet->enableButton(), Qt::LeftButton);
        QMessageBox *alert = nullptr;
        ASSERT_EVENTUALLY((alert = sheet->findChild<QMessageBox *>(u"errorAlert"_s)), 10000);
        alertTitle = alert->windowTitle();
        alertText = alert->text();
        toggleOnWhileOpen = view.biometricToggle()->isChecked();
        alert->accept();
        sheet->findChild<QPushButton *>(u"cancel"_s)->click();
    });
    view.biometricToggle()->click();
    EXPECT_EQ(alertTitle, u"Error"_s);
    EXPECT_EQ(alertText, u"Invalid passphrase"_s);
    EXPECT_TRUE(toggleOnWhileOpen);
    EXPECT_FALSE(view.biometricToggle()->isChecked());
    EXPECT_FALSE(m_security->isBiometricUnlockEnabled());
}

TEST_F(PrivacyScreensTest, TheUnlockScreenTakesOnlyTheRightPassphrase)
{
    ASSERT_FALSE(security().enableEncryption(passphrase));
    security(); // a later launch: the key is gone
    ASSERT_TRUE(m_security->isLocked());
    UnlockView view(*m_security);
    view.show();
    EXPECT_FALSE(view.findChild<QPushButton *>(u"unlock"_s)->isEnabled());
    EXPECT_TRUE(fingerButton(view)->isHidden());

    QSignalSpy attempts(&view, &UnlockView::attemptFinished);
    view.passphraseField()->setText(u"guess"_s);
    QTest::keyClick(view.passphraseField()->lineEdit(), Qt::Key_Return);
    ASSERT_EVENTUALLY((attempts.count()) == (1), 10000);
    EXPECT_EQ(view.findChild<QLabel *>(u"problem"_s)->text(), u"Invalid passphrase"_s);
    EXPECT_TRUE(m_security->isLocked());

    // Trying again works, and the field is emptied once it has.
    view.passphraseField()->setText(passphrase);
    QTest::mouseClick(view.findChild<QPushButton *>(u"unlock"_s), Qt::LeftButton);
    ASSERT_EVENTUALLY((attempts.count()) == (2), 10000);
    EXPECT_FALSE(m_security->isLocked());
    EXPECT_TRUE(view.passphraseField()->text().isEmpty());
    EXPECT_TRUE(view.findChild<QLabel *>(u"problem"_s)->isHidden());
}

TEST_F(PrivacyScreensTest, AReaderThatNeverAnswersLeavesThePassphraseUsable)
{
    const std::unique_ptr<UnlockView> view = lockedWithFinger();
    m_fprintd->device.answerDelayMilliseconds = 3600 * 1000; // the lid is closed
    fingerButton(*view)->click();
    ASSERT_EVENTUALLY(m_fprintd->device.verifications == 1, 5000);
    EXPECT_TRUE(view->passphraseField()->isEnabled());
    EXPECT_FALSE(fingerButton(*view)->isEnabled()) << "one verification at a time";

    QSignalSpy attempts(view.get(), &UnlockView::attemptFinished);
    view->passphraseField()->setText(passphrase);
    QTest::mouseClick(view->findChild<QPushButton *>(u"unlock"_s), Qt::LeftButton);
    ASSERT_EVENTUALLY((attempts.count()) == (1), 10000);
    EXPECT_FALSE(m_security->isLocked());
    ASSERT_EVENTUALLY(!m_fprintd->device.claimed, 5000); // the reader is given back
}

TEST_F(PrivacyScreensTest, TheUnlockScreenOpensWithAMatchingFinger)
{
    const std::unique_ptr<UnlockView> view = lockedWithFinger();
    EXPECT_EQ(fingerButton(*view)->text(), u"Unlock with Fingerprint"_s);

    QSignalSpy attempts(view.get(), &UnlockView::attemptFinished);
    m_fprintd->device.verifyResult = u"verify-no-match"_s;
    fingerButton(*view)->click();
    ASSERT_EVENTUALLY((attempts.count()) == (1), 10000);
    EXPECT_TRUE(m_security->isLocked());
    EXPECT_TRUE(view->findChild<QLabel *>(u"problem"_s)
                    ->text()
                    .startsWith(u"Fingerprint not recognized"_s));

    m_fprintd->device.verifyResult = u"verify-match"_s;
    fingerButton(*view)->click();
    ASSERT_EVENTUALLY((attempts.count()) == (2), 10000);
    EXPECT_FALSE(m_security->isLocked());
}

#include <views/widgets/SecureFieldWithToggle.h>
#include <views/widgets/SymbolIcon.h>

#include <QIcon>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

TEST(SecureFieldWithToggle, StartsHiddenAndTheToggleFlipsEchoModeKeepingTheText)
{
    SecureFieldWithToggle field(u"Password"_s);
    EXPECT_TRUE(field.isSecure());
    EXPECT_EQ(field.lineEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field.lineEdit()->placeholderText(), u"Password"_s);
    field.show();
    QSignalSpy secure(&field, &SecureFieldWithToggle::secureChanged);
    QSignalSpy text(&field, &SecureFieldWithToggle::textChanged);
    QTest::keyClicks(field.lineEdit(), u"s3cret pass"_s);
    EXPECT_EQ(field.text(), u"s3cret pass"_s);
    EXPECT_EQ(text.count(), 11);

    QTest::mouseClick(field.findChild<QToolButton *>(u"toggle"_s), Qt::LeftButton);
    EXPECT_FALSE(field.isSecure());
    EXPECT_EQ(field.lineEdit()->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(field.text(), u"s3cret pass"_s);
    const Qt::InputMethodHints secret =
        Qt::ImhSensitiveData | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase;
    EXPECT_EQ(field.lineEdit()->inputMethodHints() & secret, secret)
        << "shown, it is still kept from input methods";

    QTest::mouseClick(field.findChild<QToolButton *>(u"toggle"_s), Qt::LeftButton);
    EXPECT_TRUE(field.isSecure());
    EXPECT_EQ(field.lineEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field.text(), u"s3cret pass"_s);
    EXPECT_EQ(secure.count(), 2);
    EXPECT_EQ(text.count(), 11);
    field.setText(u"abc"_s);
    ASSERT_EQ(text.count(), 12);
    EXPECT_EQ(text.last().at(0).toString(), u"abc"_s);
}

TEST(SecureFieldWithToggle, ButtonShowsTheEyeWhileHidden)
{
    // The offscreen platform looks for icon themes only among resources; without the system's
    // themes both symbols fall back to one icon and the names compared below prove nothing.
    struct ThemeState
    {
        QStringList searchPaths = QIcon::themeSearchPaths();
        QString theme = QIcon::themeName();
        QString fallback = QIcon::fallbackThemeName();
        ~ThemeState()
        {
            QIcon::setThemeSearchPaths(searchPaths);
            QIcon::setThemeName(theme);
            QIcon::setFallbackThemeName(fallback);
        }
    } restored;
    QStringList paths = restored.searchPaths;
    for (const QString &dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths << dir + u"/icons"_s;
    QIcon::setThemeSearchPaths(paths);
    SymbolIcon::installThemeFallback();
    const QString eye = SymbolIcon::icon(u"eye"_s).name();
    const QString eyeSlash = SymbolIcon::icon(u"eye.slash"_s).name();
    ASSERT_NE(eye, eyeSlash) << "no icon theme with the eye symbols is installed";

    SecureFieldWithToggle field;
    EXPECT_EQ(field.findChild<QToolButton *>(u"toggle"_s)->icon().name(), eye);
    EXPECT_EQ(field.findChild<QToolButton *>(u"toggle"_s)->toolTip(), u"Show"_s);
    field.setSecure(false);
    EXPECT_EQ(field.findChild<QToolButton *>(u"toggle"_s)->icon().name(), eyeSlash);
    EXPECT_EQ(field.findChild<QToolButton *>(u"toggle"_s)->toolTip(), u"Hide"_s);
    EXPECT_EQ(field.findChild<QToolButton *>(u"toggle"_s)->accessibleName(), u"Hide"_s);
}

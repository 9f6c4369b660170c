#include <SecureFieldWithToggle.h>
#include <SymbolIcon.h>

#include <QIcon>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillory;

TEST(SecureFieldWithToggle, StartsHidden)
{
    SecureFieldWithToggle field(QStringLiteral("Password"));
    EXPECT_TRUE(field.isSecure());
    EXPECT_EQ(field.lineEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field.lineEdit()->placeholderText(), QStringLiteral("Password"));
    EXPECT_EQ(field.title(), QStringLiteral("Password"));
}

TEST(SecureFieldWithToggle, ToggleFlipsEchoModeAndKeepsTheText)
{
    SecureFieldWithToggle field(QStringLiteral("Password"));
    field.show();
    QSignalSpy secure(&field, &SecureFieldWithToggle::secureChanged);
    QSignalSpy text(&field, &SecureFieldWithToggle::textChanged);
    QTest::keyClicks(field.lineEdit(), QStringLiteral("s3cret pass"));
    EXPECT_EQ(field.text(), QStringLiteral("s3cret pass"));
    EXPECT_EQ(text.count(), 11);

    QTest::mouseClick(field.toggleButton(), Qt::LeftButton);
    EXPECT_FALSE(field.isSecure());
    EXPECT_EQ(field.lineEdit()->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(field.text(), QStringLiteral("s3cret pass"));

    QTest::mouseClick(field.toggleButton(), Qt::LeftButton);
    EXPECT_TRUE(field.isSecure());
    EXPECT_EQ(field.lineEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field.text(), QStringLiteral("s3cret pass"));
    EXPECT_EQ(secure.count(), 2);
    EXPECT_EQ(text.count(), 11);
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
        paths << dir + QStringLiteral("/icons");
    QIcon::setThemeSearchPaths(paths);
    SymbolIcon::installThemeFallback();
    const QString eye = SymbolIcon::icon(QStringLiteral("eye")).name();
    const QString eyeSlash = SymbolIcon::icon(QStringLiteral("eye.slash")).name();
    ASSERT_NE(eye, eyeSlash) << "no icon theme with the eye symbols is installed";

    SecureFieldWithToggle field;
    EXPECT_EQ(field.toggleButton()->icon().name(), eye);
    EXPECT_EQ(field.toggleButton()->toolTip(), QStringLiteral("Show"));
    field.setSecure(false);
    EXPECT_EQ(field.toggleButton()->icon().name(), eyeSlash);
    EXPECT_EQ(field.toggleButton()->toolTip(), QStringLiteral("Hide"));
    EXPECT_EQ(field.toggleButton()->accessibleName(), QStringLiteral("Hide"));
}

TEST(SecureFieldWithToggle, SetTextNotifies)
{
    SecureFieldWithToggle field;
    QSignalSpy text(&field, &SecureFieldWithToggle::textChanged);
    field.setText(QStringLiteral("abc"));
    ASSERT_EQ(text.count(), 1);
    EXPECT_EQ(text.at(0).at(0).toString(), QStringLiteral("abc"));
    field.setSecure(false);
    EXPECT_EQ(field.lineEdit()->text(), QStringLiteral("abc"));
}

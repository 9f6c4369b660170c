#include <SecureFieldWithToggle.h>
#include <SymbolIcon.h>

#include <QLineEdit>
#include <QSignalSpy>
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
    SymbolIcon::installThemeFallback();
    SecureFieldWithToggle field;
    EXPECT_EQ(field.toggleButton()->icon().name(), SymbolIcon::icon(QStringLiteral("eye")).name());
    field.setSecure(false);
    EXPECT_EQ(field.toggleButton()->icon().name(),
              SymbolIcon::icon(QStringLiteral("eye.slash")).name());
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

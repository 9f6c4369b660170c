#include <model/HexColor.h>
#include <state/AppError.h>
#include <state/AppInfo.h>
#include <state/SortOrder.h>

#include <QSet>

#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

TEST(AppError, TextsAndIds)
{
    struct Case
    {
        AppError error;
        const char *description, *suggestion, *id;
    };
    const QString m = u"x"_s;
    const Case cases[] = {
        {AppError::networkError(m), "Network Error: x",
         "Check your internet connection and try again.", "network_x"},
        {AppError::storageError(m), "Storage Error: x", "Check available storage space.",
         "storage_x"},
        {AppError::encryptionError(m), "Encryption Error: x", "Try restarting the app.",
         "encryption_x"},
        {AppError::importError(m), "Import Error: x", "Ensure the file format is correct.",
         "import_x"},
        {AppError::exportError(m), "Export Error: x",
         "Choose a different location with write permissions.", "export_x"},
        {AppError::unknown(QString()), "Error: ", "Try again or contact support.", "unknown_"},
        {AppError::invalidURL(), "Invalid URL provided", "Check the URL format.", "invalid_url"},
        {AppError::metadataFetchFailed(), "Failed to fetch page metadata",
         "The item was saved but metadata could not be fetched.", "metadata_failed"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.error.errorDescription(), QString::fromUtf8(c.description));
        EXPECT_EQ(c.error.recoverySuggestion(), QString::fromUtf8(c.suggestion));
        EXPECT_EQ(c.error.id(), QString::fromUtf8(c.id));
    }
}

TEST(SortOrder, RawValuesTitlesAndExactParsing)
{
    const char *raw[] = {"date_added_desc", "date_added_asc", "title_asc", "title_desc",
                         "date_modified_desc"};
    const char *titles[] = {"Newest First", "Oldest First", "Title A-Z", "Title Z-A",
                            "Recently Modified"};
    ASSERT_EQ(SortOrder::allCases().size(), 5);
    for (int i = 0; i < 5; ++i) {
        const SortOrder o = SortOrder::allCases()[i];
        EXPECT_EQ(o.rawValue(), QLatin1String(raw[i]));
        EXPECT_EQ(o.title(), QLatin1String(titles[i]));
        EXPECT_EQ(SortOrder::fromRawValue(QLatin1String(raw[i])), o);
    }
    EXPECT_FALSE(SortOrder::fromRawValue(u"Title_Asc"_s));
    EXPECT_EQ(SortOrder(SortOrder::TitleDescending).key(), SortOrder::Key::Title);
    EXPECT_EQ(SortOrder(SortOrder::TitleDescending).direction(), Qt::DescendingOrder);

    EXPECT_EQ(ViewMode::fromRawValue(u"list"_s), ViewMode::List);
    EXPECT_EQ(ViewMode(ViewMode::Grid).rawValue(), u"grid"_s);
    EXPECT_FALSE(ViewMode::fromRawValue(u"Grid"_s));
}

TEST(AppInfo, VersionTextsAndPalette)
{
    // The texts come from the CMake project, not the "1.0" and "1" used when none is given.
    EXPECT_EQ(AppInfo::appVersion(), QStringLiteral(PROJECT_VERSION));
    EXPECT_EQ(AppInfo::buildNumber(), QStringLiteral(PROJECT_BUILD_NUMBER));
    const QList<QColor> &palette = AppInfo::colorPalette();
    ASSERT_EQ(palette.size(), 12);
    EXPECT_EQ(HexColor::toHex(palette.first()), u"#007AFF"_s);
    QSet<QString> distinct;
    for (const QColor &c : palette)
        distinct.insert(*HexColor::toHex(c));
    EXPECT_EQ(distinct.size(), 12);
}

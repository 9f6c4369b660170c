#include <views/widgets/SymbolIcon.h>

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// An icon theme of one 22-pixel "folder" icon, drawn in the given colours, one per column.
void writeTheme(const QString &root, const QString &name, const QList<QColor> &colours)
{
    const QDir dir(root + u'/' + name);
    ASSERT_TRUE(dir.mkpath(u"22"_s));
    QFile index(dir.filePath(u"index.theme"_s));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=" + name.toUtf8() +
                "\nDirectories=22\n\n[22]\nSize=22\nType=Fixed\n");
    index.close();
    QImage image(22, 22, QImage::Format_ARGB32);
    for (int x = 0; x < 22; ++x) {
        for (int y = 0; y < 22; ++y)
            image.setPixelColor(x, y, colours.at(x % colours.size()));
    }
    ASSERT_TRUE(image.save(dir.filePath(u"22/folder.png"_s)));
}

} // namespace

// A theme switched while the application runs may draw a symbol in full colour where the
// one before drew it in one: the answer follows the theme.
TEST(SymbolIcon, IsMonochromeFollowsTheTheme)
{
    QTemporaryDir root;
    writeTheme(root.path(), u"flat"_s, {QColor(40, 40, 40)});
    writeTheme(root.path(), u"painted"_s, {Qt::red, Qt::blue, Qt::yellow});
    const QStringList paths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({root.path()});

    QIcon::setThemeName(u"flat"_s);
    EXPECT_TRUE(SymbolIcon::isMonochrome(u"folder"_s));
    QIcon::setThemeName(u"painted"_s);
    EXPECT_FALSE(SymbolIcon::isMonochrome(u"folder"_s));
    QIcon::setThemeName(u"flat"_s);
    EXPECT_TRUE(SymbolIcon::isMonochrome(u"folder"_s));

    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(theme);
}

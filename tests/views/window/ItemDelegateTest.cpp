#include <model/Item.h>
#include <views/widgets/DisplayText.h>
#include <views/widgets/SymbolIcon.h>
#include <views/widgets/ThumbnailCache.h>
#include <views/window/ItemDelegate.h>
#include <views/window/ItemListModel.h>

#include <QApplication>
#include <QPainter>
#include <QPixmapCache>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

class ItemDelegateTest : public ::testing::Test
{
protected:
    ItemDelegateTest()
    {
        SymbolIcon::installThemeFallback();
        QPixmapCache::clear();
        m_model.setItems({&m_item});
    }

    QImage painted(bool selected, const QPalette &palette = QApplication::palette(),
                   qreal ratio = 1.0, ItemDelegate *delegate = nullptr)
    {
        QImage image(QSize(220, 220) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = QRect(5, 5, 200, ItemDelegate::cardHeight);
        option.palette = palette;
        option.font = QApplication::font();
        option.state = selected ? QStyle::State_Selected : QStyle::State_None;
        (delegate != nullptr ? *delegate : m_delegate).paint(&painter, option, m_model.index(0));
        return image;
    }

    ThumbnailCache m_thumbnails;
    ItemDelegate m_delegate{m_thumbnails};
    Item m_item{ItemType::WebLink, u"A page about gardens"_s};
    ItemListModel m_model;
};

// Cards are copied from pieces painted once; a piece kept for one look must never be shown
// for another.
TEST_F(ItemDelegateTest, KeptCardPiecesFollowTheSelectionThePaletteAndTheKind)
{
    const QImage plain = painted(false);
    const QImage selected = painted(true);
    EXPECT_NE(selected, plain);
    EXPECT_EQ(painted(false), plain);
    EXPECT_EQ(painted(true), selected);

    QPalette dark = QApplication::palette();
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Mid, QColor(0x80, 0x20, 0x20));
    const QImage darkCard = painted(false, dark);
    EXPECT_NE(darkCard, plain);
    EXPECT_EQ(darkCard.pixelColor(100, 190), QColor(0x20, 0x20, 0x20)) << "the card face";

    m_item.setTypeRawValue(u"video"_s);
    EXPECT_NE(painted(false), plain) << "another kind has another placeholder";
    m_item.setTypeRawValue(u"web_link"_s);
    EXPECT_EQ(painted(false), plain);

    // Pieces made again after the cache let them go look the same.
    QPixmapCache::clear();
    EXPECT_EQ(painted(false), plain);
}

// Titles and domains are drawn from kept layouts; an edit must show at once.
TEST_F(ItemDelegateTest, ARenamedOrFavouredItemPaintsItsNewLook)
{
    const QImage before = painted(false);
    m_item.setTitle(u"A page about orchards"_s);
    m_item.setSourceDomain(u"orchards.example"_s);
    m_item.setFavorite(true);
    const QImage after = painted(false);
    EXPECT_NE(after, before);

    ThumbnailCache thumbnails;
    ItemDelegate fresh(thumbnails);
    EXPECT_EQ(after, painted(false, QApplication::palette(), 1.0, &fresh));
}

// Where a copy could not land on whole pixels the card is drawn directly, and still drawn.
TEST_F(ItemDelegateTest, FractionalScalingDrawsTheCardDirectly)
{
    const QImage image = painted(false, QApplication::palette(), 1.5);
    const QColor face = QApplication::palette().color(QPalette::Base);
    EXPECT_EQ(image.pixelColor(int(100 * 1.5), int(185 * 1.5)).rgb(), face.rgb());
}

// A row found in its kept page shows where the words stand there; marks that do not fit the
// snippet are left out, never painted past its end, and a narrow row still paints.
TEST_F(ItemDelegateTest, ASnippetIsPaintedWithItsMarkedWordsInRowsAndCards)
{
    using Marks = QList<std::pair<qsizetype, qsizetype>>;
    const auto paintedWith = [this](const QString &snippet, const Marks &marks, bool grid,
                                    int width) {
        PageMatch match;
        match.snippet = snippet;
        match.marks = marks;
        m_model.setItems({&m_item}, snippet.isEmpty() ? ItemListModel::Snippets()
                                                      : ItemListModel::Snippets{{&m_item, match}});
        m_delegate.setGridMode(grid);
        QImage image(QSize(width + 10, 220), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = QRect(5, 5, width, grid ? ItemDelegate::cardHeight : ItemDelegate::rowHeight);
        option.palette = QApplication::palette();
        option.font = QApplication::font();
        m_delegate.paint(&painter, option, m_model.index(0));
        return image;
    };
    const QString text = u"\u2026we borrowed a narrow trowel from the neighbours\u2026"_s;
    for (const bool grid : {true, false}) {
        SCOPED_TRACE(grid ? "card" : "row");
        const int width = grid ? 200 : 500;
        const QImage plain = paintedWith(text, {}, grid, width);
        EXPECT_NE(paintedWith({}, {}, grid, width), plain) << "the snippet shows";
        const QImage marked = paintedWith(text, {{22, 6}}, grid, width);
        EXPECT_NE(marked, plain) << "the marked word is bold";
        EXPECT_EQ(paintedWith(text, {{-3, 2}, {200, 4}, {22, 0}, {22, -5}}, grid, width), plain);
        EXPECT_EQ(paintedWith(text, {{22, 6}, {40, 1000000}}, grid, width),
                  paintedWith(text, {{22, 6}, {40, 10}}, grid, width));
        // Narrower than the snippet's first word.
        paintedWith(text, {{22, 6}}, grid, grid ? 60 : 12);
        paintedWith(text, {{0, 49}}, grid, 60);
    }
    m_delegate.setGridMode(true);
}

} // namespace

TEST(DisplayText, ASharedFileShowsTheNameItWasSharedUnder)
{
    const QString stored = u"0F3C2A4E-7B1D-4C55-9E2A-3D4B5C6D7E8F_Report final.pdf"_s;
    Item shared(ItemType::Document, u"Report final"_s);
    shared.setUrlString(
        QUrl::fromLocalFile(u"/home/u/.local/share/PendingItems/Imported/"_s + stored)
            .toString(QUrl::FullyEncoded));
    shared.setSourceDomain(stored);
    EXPECT_EQ(DisplayText::source(shared), u"Report final.pdf"_s);

    // Only the prefix the inbox adds to a file it keeps is taken off.
    Item web(ItemType::WebLink, u"Odd host"_s, QUrl(u"https://example.com/"_s));
    web.setSourceDomain(stored);
    EXPECT_EQ(DisplayText::source(web), stored);
    const QString lower = stored.toLower();
    shared.setSourceDomain(lower);
    shared.setUrlString(QUrl::fromLocalFile(u"/tmp/"_s + lower).toString(QUrl::FullyEncoded));
    EXPECT_EQ(DisplayText::source(shared), lower);
    EXPECT_EQ(DisplayText::source(Item(ItemType::Screenshot, u"Shot"_s)), std::nullopt);
}

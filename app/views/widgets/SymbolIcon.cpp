#include <views/widgets/SymbolIcon.h>

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>

namespace quillory {

namespace {

const QHash<QString, QStringList> &themeNames()
{
    static const QHash<QString, QStringList> table = [] {
        const std::pair<const char *, const char *> pairs[] = {
            // item kinds
            {"link", "insert-link"},
            {"play.rectangle", "video-x-generic"},
            {"bubble.left.and.bubble.right", "dialog-messages"},
            {"photo", "image-x-generic"},
            {"camera.viewfinder", "camera-photo"},
            {"doc", "x-office-document"},
            // smart folders
            {"tray", "mail-folder-inbox"},
            {"star", "rating-unrated draw-star"},
            {"clock", "clock"},
            {"eye", "view-visible"},
            {"archivebox", "package-x-generic"},
            {"square.grid.2x2", "view-grid"},
            // commands
            {"plus", "list-add"},
            {"plus.circle.fill", "list-add"},
            {"folder.badge.plus", "folder-new"},
            {"line.3.horizontal.decrease", "view-filter"},
            {"arrow.up.arrow.down", "view-sort"},
            {"list.bullet", "view-list-details"},
            {"magnifyingglass", "edit-find"},
            {"sidebar.right", "view-split-left-right view-right-close"},
            {"checkmark", "dialog-ok-apply object-select-symbolic checkmark"},
            {"circle", "draw-circle"},
            {"star.fill", "rating favorite"},
            {"star.slash", "rating-unrated"},
            {"doc.on.doc", "edit-copy"},
            {"safari", "internet-web-browser"},
            {"trash", "edit-delete"},
            {"tray.and.arrow.up", "archive-extract"},
            {"bookmark.fill", "bookmarks"},
            {"eye.slash", "view-hidden"},
            {"pencil", "document-edit"},
            {"tag", "tag"},
            {"tag.fill", "tag"},
            {"xmark", "tab-close window-close"},
            {"xmark.circle.fill", "dialog-close window-close"},
            {"arrow.down.circle.dashed", "download arrow-down"},
            // folder icons
            {"folder", "folder"},
            {"folder.fill", "folder-open folder"},
            {"heart", "love emblem-favorite"},
            {"bookmark", "bookmark-new bookmarks"},
            {"doc.text", "text-x-generic"},
            {"book", "accessories-dictionary-symbolic help-contents"},
            {"books.vertical", "x-office-address-book"},
            {"magazine", "view-pim-news"},
            {"newspaper", "news-subscribe"},
            {"video", "video-x-generic"},
            {"music.note", "audio-x-generic"},
            {"brain", "applications-science"},
            {"lightbulb", "games-hint help-hint"},
            {"graduationcap", "applications-education"},
            {"briefcase", "applications-office"},
            {"house", "go-home"},
            {"cart", "view-bank"},
            {"bag", "package folder-temp"},
            {"gift", "emblem-important"},
            {"trophy", "games-highscores"},
            {"flag", "flag"},
            {"bell", "notifications"},
            {"calendar", "view-calendar"},
            {"map", "map-flat"},
            {"location", "mark-location"},
            {"person", "user-identity"},
            {"person.2", "system-users"},
            {"bubble.left", "dialog-messages"},
            {"quote.bubble", "format-text-blockquote"},
            {"ellipsis.bubble", "dialog-messages"},
            // privacy and encryption
            {"icloud.slash", "state-offline network-offline"},
            {"chart.bar.xaxis", "office-chart-bar view-statistics"},
            {"brain.head.profile", "applications-science"},
            {"dollarsign.circle", "wallet-closed"},
            {"checkmark.circle.fill", "emblem-ok-symbolic dialog-ok-apply"},
            {"exclamationmark.triangle.fill", "data-warning dialog-warning"},
            {"lock", "object-locked lock"},
            {"touchid", "fingerprint"},
            // settings
            {"square.grid.2x2.fill", "view-grid"},
            {"lock.shield.fill", "security-high"},
            {"square.and.arrow.up", "document-export document-share"},
            {"square.and.arrow.down", "document-import"},
            {"globe", "globe internet-web-browser"},
            {"envelope", "mail-message-new mail-send"},
            {"chevron.right", "go-next"},
        };
        QHash<QString, QStringList> t;
        for (const auto &[symbol, names] : pairs)
            t.insert(QString::fromLatin1(symbol),
                     QString::fromLatin1(names).split(QLatin1Char(' ')));
        return t;
    }();
    return table;
}

} // namespace

void SymbolIcon::installThemeFallback()
{
    // Platforms without a desktop theme of their own (offscreen, minimal, eglfs) search only
    // Qt's resources; the freedesktop folders are where the installed themes live.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs =
        qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dataDirs.isEmpty())
        dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    for (const QString &dir : std::as_const(dataDirs)) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!paths.contains(icons))
            paths.append(icons);
    }
    QIcon::setThemeSearchPaths(paths);

    const QString theme = QIcon::themeName();
    if (theme.isEmpty() || theme == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("breeze"));
    QIcon::setFallbackThemeName(QStringLiteral("breeze"));
}

QIcon SymbolIcon::icon(const QString &symbolName)
{
    for (const QString &name : themeNames().value(symbolName)) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    // Unknown or missing names still get something to draw.
    if (QIcon::hasThemeIcon(QStringLiteral("unknown")))
        return QIcon::fromTheme(QStringLiteral("unknown"));
    return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

bool SymbolIcon::isMonochrome(const QString &symbolName)
{
    // Asked for every row painted, so kept; per theme, as each draws its own artwork.
    static QHash<QString, bool> known;
    const QString key = QIcon::themeName() + u'/' + symbolName;
    const auto cached = known.constFind(key);
    if (cached != known.cend())
        return *cached;
    const QImage image =
        icon(symbolName).pixmap(QSize(22, 22)).toImage().convertToFormat(QImage::Format_ARGB32);
    int low[3] = {255, 255, 255};
    int high[3] = {0, 0, 0};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) < 200)
                continue;
            const int rgb[3] = {qRed(p), qGreen(p), qBlue(p)};
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], rgb[c]);
                high[c] = std::max(high[c], rgb[c]);
            }
        }
    }
    constexpr int tolerance = 48;
    const bool monochrome = high[0] - low[0] <= tolerance && high[1] - low[1] <= tolerance &&
                            high[2] - low[2] <= tolerance;
    known.insert(key, monochrome);
    return monochrome;
}

QPixmap SymbolIcon::tinted(const QString &symbolName, const QColor &color, int size,
                           qreal devicePixelRatio)
{
    const QPixmap base = icon(symbolName).pixmap(QSize(size, size), devicePixelRatio);
    if (!isMonochrome(symbolName))
        return base;
    // Lists tint the same few symbols for every row they paint. The icon hands out the same
    // pixmap while its theme stays, so its key tells when the tint must be made again.
    const QString key = QStringLiteral("tinted:") + QString::number(base.cacheKey()) + u':' +
                        QString::number(color.rgba(), 16);
    QPixmap result;
    if (QPixmapCache::find(key, &result))
        return result;
    result = QPixmap(base.size());
    result.setDevicePixelRatio(base.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap(0, 0, base);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), color);
    painter.end();
    QPixmapCache::insert(key, result);
    return result;
}

QIcon SymbolIcon::tintedIcon(const QString &symbolName, const QColor &color)
{
    QIcon icon;
    for (int size : {16, 22, 32, 48})
        icon.addPixmap(tinted(symbolName, color, size));
    return icon;
}

} // namespace quillory

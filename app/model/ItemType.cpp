#include <model/ItemType.h>

#include <array>
#include <iterator>

namespace quillory {

namespace {

struct KindInfo
{
    ItemType::Value value;
    const char *rawValue;
    const char *displayName;
    const char *iconName;
    NamedColor tint;
};

constexpr KindInfo kinds[] = {
    {ItemType::WebLink, "web_link", "Web Link", "link", NamedColor::Blue},
    {ItemType::Video, "video", "Video", "play.rectangle", NamedColor::Red},
    {ItemType::SocialPost, "social_post", "Social Post", "bubble.left.and.bubble.right",
     NamedColor::Purple},
    {ItemType::Image, "image", "Image", "photo", NamedColor::Green},
    {ItemType::Screenshot, "screenshot", "Screenshot", "camera.viewfinder", NamedColor::Orange},
    {ItemType::Document, "document", "Document", "doc", NamedColor::Gray},
};

const KindInfo &info(ItemType::Value v)
{
    return kinds[int(v)];
}

bool endsWithAny(const QString &path, const QStringList &suffixes)
{
    for (const QString &suffix : suffixes) {
        if (path.endsWith(suffix))
            return true;
    }
    return false;
}

bool containsAny(const QString &host, const QStringList &patterns)
{
    for (const QString &pattern : patterns) {
        if (host.contains(pattern))
            return true;
    }
    return false;
}

} // namespace

const QList<ItemType> &ItemType::allCases()
{
    static const QList<ItemType> all{WebLink, Video, SocialPost, Image, Screenshot, Document};
    return all;
}

std::optional<ItemType> ItemType::fromRawValue(const QString &raw)
{
    for (const KindInfo &k : kinds) {
        if (raw == QLatin1String(k.rawValue))
            return ItemType(k.value);
    }
    return std::nullopt;
}

std::optional<ItemType> ItemType::fromRawUtf8(std::string_view raw)
{
    for (const KindInfo &k : kinds) {
        if (raw == std::string_view(k.rawValue))
            return ItemType(k.value);
    }
    return std::nullopt;
}

ItemType ItemType::fromRawValueOrWebLink(const QString &raw)
{
    return fromRawValue(raw).value_or(WebLink);
}

QString ItemType::rawValue() const
{
    // Read for every item saved or exported: one string per kind, shared, not one per read.
    static const std::array<QString, std::size(kinds)> values = [] {
        std::array<QString, std::size(kinds)> v;
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = QString::fromLatin1(kinds[i].rawValue);
        return v;
    }();
    return values[size_t(m_value)];
}

QString ItemType::displayName() const
{
    return QString::fromLatin1(info(m_value).displayName);
}

QString ItemType::iconName() const
{
    return QString::fromLatin1(info(m_value).iconName);
}

NamedColor ItemType::tint() const
{
    return info(m_value).tint;
}

const QStringList &ItemType::socialDomains()
{
    static const QStringList domains{
        QStringLiteral("facebook.com"),  QStringLiteral("fb.com"),
        QStringLiteral("instagram.com"), QStringLiteral("twitter.com"),
        QStringLiteral("x.com"),         QStringLiteral("linkedin.com"),
        QStringLiteral("tiktok.com"),    QStringLiteral("threads.net"),
    };
    return domains;
}

const QStringList &ItemType::videoDomains()
{
    static const QStringList domains{
        QStringLiteral("youtube.com"),
        QStringLiteral("youtu.be"),
        QStringLiteral("vimeo.com"),
        QStringLiteral("dailymotion.com"),
    };
    return domains;
}

const QStringList &ItemType::documentExtensions()
{
    static const QStringList extensions = [] {
        const char *const list[] = {
            ".pdf",     ".doc",   ".docx", ".xls",   ".xlsx",     ".ppt",    ".pptx", ".odt",
            ".ods",     ".odp",   ".epub", ".md",    ".markdown", ".txt",    ".rtf",  ".html",
            ".htm",     ".xhtml", ".sh",   ".bash",  ".zsh",      ".py",     ".pyw",  ".js",
            ".ts",      ".jsx",   ".tsx",  ".swift", ".c",        ".h",      ".cpp",  ".hpp",
            ".m",       ".mm",    ".java", ".kt",    ".kts",      ".rs",     ".go",   ".rb",
            ".php",     ".pl",    ".r",    ".lua",   ".vue",      ".svelte", ".dart", ".scala",
            ".json",    ".xml",   ".csv",  ".tex",   ".rst",      ".yml",    ".yaml", ".toml",
            ".ini",     ".cfg",   ".conf", ".env",   ".css",      ".scss",   ".less", ".sql",
            ".graphql", ".gql",   ".log",  ".svg",
        };
        QStringList l;
        for (const char *e : list)
            l.append(QString::fromLatin1(e));
        return l;
    }();
    return extensions;
}

ItemType ItemType::detect(const QUrl &url)
{
    const QString host = url.host().toLower();
    const QString path = url.path(QUrl::FullyDecoded).toLower();

    if (containsAny(host, socialDomains()))
        return SocialPost;
    if (containsAny(host, videoDomains()))
        return Video;
    if (path.endsWith(QLatin1String(".mp4")) || path.endsWith(QLatin1String(".mov")))
        return Video;
    static const QStringList imageExtensions{QStringLiteral(".jpg"), QStringLiteral(".jpeg"),
                                             QStringLiteral(".png"), QStringLiteral(".gif"),
                                             QStringLiteral(".webp")};
    if (endsWithAny(path, imageExtensions))
        return Image;
    if (endsWithAny(path, documentExtensions()))
        return Document;
    return WebLink;
}

} // namespace quillory

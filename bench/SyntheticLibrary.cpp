#include "SyntheticLibrary.h"

#include <QColor>
#include <QDateTime>
#include <QUrl>
#include <algorithm>
#include <random>

namespace quillory::bench {

namespace {

// Common English words, all lower case and distinct. Queries in the benchmarks pick words
// from here, so they are known to occur.
const char *const wordText[] = {
    "about",    "account",   "across",   "action",    "active",   "advice",   "after",
    "again",    "against",   "album",    "almost",    "alone",    "along",    "already",
    "always",   "amazing",   "among",    "animal",    "annual",   "answer",   "apple",
    "area",     "around",    "article",  "artist",    "autumn",   "average",  "baby",
    "back",     "baking",    "balance",  "ball",      "band",     "bank",     "basic",
    "beach",    "beautiful", "because",  "become",    "before",   "begin",    "behind",
    "best",     "better",    "between",  "bicycle",   "big",      "bird",     "black",
    "blue",     "board",     "boat",     "body",      "book",     "bottle",   "box",
    "bread",    "bridge",    "bright",   "budget",    "build",    "business", "camera",
    "camp",     "car",       "card",     "care",      "career",   "carry",    "case",
    "castle",   "cat",       "cause",    "center",    "chair",    "chance",   "change",
    "cheap",    "check",     "cheese",   "chicken",   "child",    "choice",   "city",
    "class",    "clean",     "clear",    "climate",   "clock",    "close",    "cloud",
    "coast",    "code",      "coffee",   "cold",      "color",    "common",   "community",
    "company",  "complete",  "computer", "cook",      "cool",     "country",  "course",
    "cover",    "create",    "culture",  "cup",       "daily",    "dance",    "dark",
    "data",     "day",       "deep",     "design",    "desk",     "detail",   "develop",
    "diet",     "dinner",    "direct",   "distance",  "doctor",   "dog",      "door",
    "draw",     "dream",     "dress",    "drink",     "drive",    "early",    "earth",
    "easy",     "economy",   "edge",     "education", "effect",   "energy",   "engine",
    "enjoy",    "enough",    "event",    "every",     "example",  "exercise", "experience",
    "expert",   "face",      "fact",     "fall",      "family",   "famous",   "farm",
    "fast",     "favorite",  "feature",  "field",     "film",     "final",    "find",
    "fire",     "first",     "fish",     "fitness",   "flower",   "fly",      "follow",
    "food",     "forest",    "forget",   "free",      "fresh",    "friend",   "front",
    "fruit",    "full",      "fun",      "future",    "game",     "garden",   "general",
    "gift",     "glass",     "global",   "gold",      "good",     "great",    "green",
    "group",    "grow",      "guide",    "guitar",    "habit",    "hair",     "half",
    "hand",     "happy",     "hard",     "health",    "heart",    "heavy",    "help",
    "high",     "history",   "hobby",    "holiday",   "home",     "hope",     "horse",
    "hospital", "hot",       "hotel",    "house",     "idea",     "image",    "important",
    "improve",  "island",    "job",      "journey",   "kitchen",  "know",     "lake",
    "language", "large",     "last",     "late",      "learn",    "leave",    "left",
    "lesson",   "letter",    "life",     "light",     "list",     "little",   "live",
    "local",    "long",      "love",     "machine",   "magic",    "make",     "market",
    "media",    "meeting",   "memory",   "method",    "middle",   "mind",     "minute",
    "modern",   "money",     "month",    "morning",   "mountain", "movie",    "music",
    "nature",   "network",   "new",      "news",      "night",    "north",    "notes",
    "ocean",    "office",    "old",      "online",    "open",     "orange",   "order",
    "paint",    "paper",     "park",     "party",     "people",   "perfect",  "phone",
    "photo",    "piano",     "plan",     "plant",     "play",     "pocket",   "popular",
    "power",    "practice",  "price",    "private",   "problem",  "project",  "quick",
    "quiet",    "radio",     "rain",     "read",      "recipe",   "record",   "red",
    "research", "rest",      "review",   "river",     "road",     "room",     "rule",
    "running",  "safe",      "school",   "science",   "sea",      "season",   "secret",
    "simple",   "skill",     "sleep",    "small",     "smart",    "social",   "soft",
    "software", "song",      "sound",    "space",     "speed",    "sport",    "spring",
    "start",    "station",   "story",    "street",    "strong",   "student",  "study",
    "style",    "summer",    "system",   "table",     "teacher",  "team",     "technology",
    "test",     "theory",    "thing",    "time",      "today",    "tools",    "town",
    "train",    "travel",    "tree",     "trip",      "true",     "video",    "village",
    "visit",    "voice",     "walk",     "wall",      "war",      "watch",    "water",
    "weather",  "week",      "west",     "white",     "wild",     "window",   "winter",
    "wood",     "work",      "world",    "write",     "year",     "young",    "zone",
};

class Random final
{
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}

    // Plain modulo: the bias is far below anything a benchmark could notice, and unlike
    // the standard distributions it gives the same numbers with every standard library.
    std::size_t below(std::size_t n) { return std::size_t(m_engine() % n); }
    int between(int low, int high) { return low + int(below(std::size_t(high - low + 1))); }
    bool chance(int percent) { return below(100) < std::size_t(percent); }

private:
    std::mt19937_64 m_engine;
};

QString capitalized(QString word)
{
    if (!word.isEmpty())
        word[0] = word[0].toUpper();
    return word;
}

QString phrase(Random &random, int words, QChar separator)
{
    const QStringList &all = SyntheticLibrary::words();
    QString text;
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            text += separator;
        text += all.at(qsizetype(random.below(size_t(all.size()))));
    }
    return text;
}

QString noteText(Random &random)
{
    // A few sentences of 5 to 12 words, 10 to 40 words in all.
    int remaining = random.between(10, 40);
    QString note;
    while (remaining > 0) {
        const int n = std::min(remaining, random.between(5, 12));
        if (!note.isEmpty())
            note += QLatin1Char(' ');
        note += capitalized(phrase(random, n, QLatin1Char(' '))) + QLatin1Char('.');
        remaining -= n;
    }
    return note;
}

ItemType itemType(Random &random)
{
    const int roll = random.between(0, 99);
    if (roll < 80)
        return ItemType::WebLink;
    if (roll < 88)
        return ItemType::Video;
    if (roll < 93)
        return ItemType::Document;
    if (roll < 97)
        return ItemType::SocialPost;
    return ItemType::Image;
}

} // namespace

const QStringList &SyntheticLibrary::words()
{
    static const QStringList list = [] {
        QStringList l;
        for (const char *w : wordText)
            l.append(QString::fromLatin1(w));
        return l;
    }();
    return list;
}

SyntheticLibrary::~SyntheticLibrary()
{
    // Tags and folders first: they let go of their items in one step each, whereas an item
    // destroyed first searches its folder's list for itself.
    tags.clear();
    folders.clear();
    items.clear();
}

SyntheticLibrary SyntheticLibrary::generate(std::size_t itemCount, std::uint64_t seed)
{
    Random random(seed);
    const QStringList &all = words();
    SyntheticLibrary library;

    // Tag names are distinct words (there are more words than tags), so a word query also
    // meets tags.
    QStringList shuffled = all;
    for (qsizetype i = shuffled.size() - 1; i > 0; --i)
        shuffled.swapItemsAt(i, qsizetype(random.below(size_t(i + 1))));
    for (int i = 0; i < tagCount; ++i) {
        library.tags.push_back(std::make_unique<Tag>(shuffled.at(i % shuffled.size()),
                                                     QColor::fromHsv((i * 37) % 360, 180, 220)));
    }

    for (int i = 0; i < topFolderCount + childFolderCount; ++i) {
        Folder *parent =
            i < topFolderCount ? nullptr : library.folders[random.below(topFolderCount)].get();
        const QString name = capitalized(phrase(random, random.between(1, 3), QLatin1Char(' ')));
        auto folder = std::make_unique<Folder>(name, QStringLiteral("folder"),
                                               QColor::fromHsv((i * 53) % 360, 160, 200), parent);
        folder->setSortOrder(i);
        library.folders.push_back(std::move(folder));
    }

    QStringList hosts;
    hosts.reserve(domainCount);
    for (int d = 0; d < domainCount; ++d)
        hosts.append(QStringLiteral("www.") + all.at(d % all.size()) + QString::number(d) +
                     QStringLiteral(".com"));

    // Two years of history, added roughly in date order as a real library grows.
    const qint64 start = QDateTime(QDate(2023, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    const qint64 span = qint64(730) * 24 * 3600 * 1000;
    const qint64 day = qint64(24) * 3600 * 1000;

    library.items.reserve(itemCount);
    for (std::size_t i = 0; i < itemCount; ++i) {
        const QString title = capitalized(phrase(random, random.between(3, 12), QLatin1Char(' ')));
        const QString path =
            QLatin1Char('/') + phrase(random, random.between(1, 2), QLatin1Char('/')) +
            QLatin1Char('/') + phrase(random, random.between(1, 4), QLatin1Char('-'));
        const QUrl url(QStringLiteral("https://") + hosts.at(qsizetype(random.below(domainCount))) +
                       path);
        std::optional<QString> note;
        if (random.below(3) == 0)
            note = noteText(random);
        Folder *folder = random.chance(70)
                             ? library.folders[random.below(library.folders.size())].get()
                             : nullptr;
        const ItemType type = itemType(random);

        auto item = std::make_unique<Item>(type, title, url, note, folder);
        const int tagsWanted = random.between(0, 4);
        for (int t = 0; t < tagsWanted; ++t)
            item->addTag(library.tags[random.below(library.tags.size())].get());
        if (random.chance(5))
            item->setFavorite(true);
        if (random.chance(3))
            item->setArchived(true);

        const qint64 jitter = qint64(random.below(size_t(2 * day))) - day;
        const qint64 created =
            start + qint64(double(span) * double(i) / double(std::max<size_t>(itemCount, 1))) +
            jitter;
        item->setCreatedAt(QDateTime::fromMSecsSinceEpoch(created, Qt::UTC));
        item->setModifiedAt(QDateTime::fromMSecsSinceEpoch(
            created + qint64(random.below(size_t(30 * day))), Qt::UTC));
        library.items.push_back(std::move(item));
    }
    return library;
}

std::vector<Item *> SyntheticLibrary::itemPointers() const
{
    std::vector<Item *> pointers;
    pointers.reserve(items.size());
    for (const auto &item : items)
        pointers.push_back(item.get());
    return pointers;
}

std::size_t SyntheticLibrary::searchTextBytes() const
{
    std::size_t bytes = 0;
    for (const auto &item : items)
        bytes += item->searchText().all().size();
    return bytes;
}

} // namespace quillory::bench

#include <model/Clock.h>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/ItemTexts.h>
#include <model/Tag.h>
#include <model/TextArena.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <array>
#include <gtest/gtest.h>
#include <string>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

// Pins the model clock; each read advances it by one millisecond, so every stamp is distinct.
class SteppingClock
{
public:
    explicit SteppingClock(const QDateTime &start) : m_now(start)
    {
        Clock::setSource([this] {
            m_now = m_now.addMSecs(1);
            return m_now;
        });
    }
    ~SteppingClock() { Clock::setSource({}); }
    QDateTime now() const { return m_now; }

private:
    QDateTime m_now;
};

const QDateTime start(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);

} // namespace

TEST(Item, UrlKeepsQueryAndHostKeepsWww)
{
    Item item(ItemType::WebLink, u"t"_s, QUrl(u"https://www.Example.com/a?b=1&c=2#frag"_s),
              u"note"_s);
    EXPECT_EQ(item.urlString(), u"https://www.example.com/a?b=1&c=2#frag"_s);
    EXPECT_EQ(item.sourceDomain(), u"www.example.com"_s);
    EXPECT_EQ(item.note(), u"note"_s);

    Item file(ItemType::Document, u"f"_s, QUrl(u"file:///tmp/a.pdf"_s));
    EXPECT_EQ(file.urlString(), u"file:///tmp/a.pdf"_s);
    EXPECT_FALSE(file.sourceDomain()) << "a URL without a host gives no source domain";
}

// The title, address and note share one block of text: changing one must leave the others,
// and an empty field must stay apart from an absent one.
TEST(Item, EachTextChangesAloneAndEmptyIsNotAbsent)
{
    Item item(ItemType::WebLink, u""_s);
    EXPECT_FALSE(item.title().isNull());
    EXPECT_FALSE(item.note());
    EXPECT_FALSE(item.urlString());

    item.setNote(u""_s);
    ASSERT_TRUE(item.note());
    EXPECT_TRUE(item.note()->isEmpty());
    EXPECT_FALSE(item.urlString());
    EXPECT_TRUE(item.title().isEmpty());

    const QString title = u"Grüße aus Köln \U0001F600 "_s + QString(70000, u'x');
    item.setTitle(title);
    item.setUrlString(u"https://example.org/caf\u00E9"_s);
    item.setNote(u"note"_s);
    EXPECT_EQ(item.title(), title);
    EXPECT_EQ(item.urlString(), u"https://example.org/caf\u00E9"_s);
    EXPECT_EQ(item.urlUtf8(), std::string_view("https://example.org/caf\xC3\xA9"));
    EXPECT_EQ(item.note(), u"note"_s);

    const qint64 modified = item.modifiedAtMSecs();
    const quint64 revision = item.searchRevision();
    item.setUrlString(u"https://example.org/caf\u00E9"_s);
    EXPECT_EQ(item.searchRevision(), revision) << "setting the same text changed nothing";
    item.setNote(std::nullopt);
    EXPECT_FALSE(item.note());
    EXPECT_EQ(item.title(), title);
    EXPECT_EQ(item.urlString(), u"https://example.org/caf\u00E9"_s);
    EXPECT_NE(item.searchRevision(), revision);
    item.setSourceApp(u"Browser"_s);
    item.setMetadataJSON(QByteArray());
    ASSERT_TRUE(item.metadataJSON()) << "empty bytes are not absent bytes";
    EXPECT_TRUE(item.metadataJSON()->isEmpty());
    item.setSourceDomain(std::nullopt);
    item.setTitle(u""_s);
    EXPECT_TRUE(item.title().isEmpty());
    EXPECT_EQ(item.urlString(), u"https://example.org/caf\u00E9"_s);
    EXPECT_FALSE(item.sourceDomain());
    EXPECT_EQ(item.sourceApp(), u"Browser"_s);
    EXPECT_TRUE(item.metadataJSON());
    item.setMetadataJSON(std::nullopt);
    EXPECT_FALSE(item.metadataJSON());
    EXPECT_EQ(item.sourceApp(), u"Browser"_s);

    item.setTypeRawValue(u"hologram"_s);
    EXPECT_EQ(item.type(), ItemType::WebLink);
    EXPECT_EQ(item.typeRawValue(), u"hologram"_s);
    item.setNote(QString(300, u'n'));
    EXPECT_EQ(item.typeRawValue(), u"hologram"_s);
    EXPECT_EQ(item.sourceApp(), u"Browser"_s);
    item.setTypeRawValue(u"video"_s);
    EXPECT_EQ(item.type(), ItemType::Video);
    EXPECT_EQ(item.typeRawValue(), u"video"_s);
    EXPECT_EQ(item.note(), QString(300, u'n'));
    EXPECT_EQ(item.sourceApp(), u"Browser"_s);
    EXPECT_GE(item.modifiedAtMSecs(), modified);
}

// Sizes around the steps of the block's varints, set in random order against plain strings.
TEST(ItemTexts, EveryFieldReadsBackWhateverTheOthersHold)
{
    const std::array<qsizetype, 9> sizes = {0, 1, 127, 128, 129, 16383, 16384, 70000, 3};
    QRandomGenerator random(11);
    std::array<std::optional<QString>, ItemTexts::fieldCount> expected;
    expected[ItemTexts::Title] = QString();
    ItemTexts texts;
    TextArena arena;
    std::vector<ItemTexts> kept; // blocks made in the arena outlive it, some of them
    for (int step = 0; step < 600; ++step) {
        const auto field = ItemTexts::Field(random.bounded(int(ItemTexts::fieldCount)));
        std::optional<QString> value;
        if (field == ItemTexts::Title || random.bounded(4) != 0)
            value = QString(sizes[size_t(random.bounded(int(sizes.size())))],
                            random.bounded(2) ? u'\u00E9' : QChar(u'a' + step % 26));
        const bool changed = texts.set(field, value);
        EXPECT_EQ(changed, expected[field] != value) << step;
        expected[field] = value;
        for (size_t f = 0; f < ItemTexts::fieldCount; ++f)
            ASSERT_EQ(texts.optionalText(ItemTexts::Field(f)), expected[f]) << step << " " << f;
        const std::string bytes(texts.view().bytes());
        const ItemTexts::View copy(bytes.empty() ? nullptr : bytes.data());
        for (size_t f = 0; f < ItemTexts::fieldCount; ++f)
            ASSERT_EQ(copy.optionalText(ItemTexts::Field(f)), expected[f]) << step << " " << f;
        // The same block made in an arena reads the same, and so do its searched fields,
        // end to end from where they begin.
        ItemTexts inArena(copy.parts(), &arena);
        ASSERT_EQ(inArena.arenaBlock() != nullptr, !bytes.empty()) << step;
        const ItemTexts::View::Searched searched = inArena.view().searched();
        for (size_t f = 0; f < ItemTexts::fieldCount; ++f) {
            const auto which = ItemTexts::Field(f);
            ASSERT_EQ(inArena.optionalText(which), expected[f]) << step << " " << f;
            if (f > ItemTexts::Url)
                continue;
            const uint32_t from = f == 0 ? 0 : searched.ends[f - 1];
            ASSERT_EQ(std::string_view(searched.begin + from, searched.ends[f] - from),
                      inArena.utf8(which))
                << step << " " << f;
            ASSERT_EQ((searched.present >> f) & 1, inArena.has(which) ? 1 : 0) << step << " " << f;
        }
        kept.push_back(std::move(inArena));
        if (kept.size() > 40)
            kept.erase(kept.begin(), kept.begin() + 20);
    }
    // One too large to share a chunk gets one of its own.
    ItemTexts::Parts large;
    const std::string title(700000, 'l');
    large[ItemTexts::Title] = title;
    const ItemTexts alone(large, &arena);
    ASSERT_NE(alone.arenaBlock(), nullptr);
    EXPECT_EQ(alone.utf8(ItemTexts::Title), title);
    EXPECT_EQ(alone.view().searched().ends[3], title.size());
}

TEST(Item, OperationsStampModifiedAtAsDocumented)
{
    SteppingClock clock(start);
    Folder folder(u"F"_s, u"folder"_s, QColor(Qt::red));
    Tag tag(u"t"_s, QColor(Qt::red));
    Item item(ItemType::WebLink, u"x"_s);

    auto stamps = [&](auto &&operation) {
        const QDateTime before = item.modifiedAt();
        operation();
        return item.modifiedAt() != before;
    };
    EXPECT_TRUE(stamps([&] { item.addTag(&tag); }));
    EXPECT_FALSE(stamps([&] { item.addTag(&tag); }))
        << "adding a tag it already has changes nothing";
    EXPECT_EQ(item.tags().size(), 1);
    EXPECT_EQ(tag.items().size(), 1);
    EXPECT_TRUE(stamps([&] { item.removeTag(tag); }));
    EXPECT_TRUE(tag.items().isEmpty());
    EXPECT_TRUE(stamps([&] { item.removeTag(tag); }))
        << "removing stamps even when nothing was removed";
    EXPECT_TRUE(stamps([&] { item.moveToFolder(&folder); }));
    EXPECT_EQ(folder.items(), QList<Item *>{&item});
    EXPECT_TRUE(stamps([&] { item.moveToFolder(nullptr); }));
    EXPECT_TRUE(folder.items().isEmpty());
    EXPECT_TRUE(stamps([&] { item.toggleFavorite(); }));
    EXPECT_TRUE(item.isFavorite());
    EXPECT_TRUE(stamps([&] { item.toggleArchive(); }));
    EXPECT_TRUE(item.isArchived());
    EXPECT_FALSE(stamps([&] { item.setTitle(u"y"_s); }))
        << "direct writes leave the stamp to the caller";
    EXPECT_FALSE(stamps([&] {
        ItemMetadata m;
        m.author = u"A"_s;
        item.setMetadata(m);
    }));
}

TEST(Item, SortedTagsByNameKeepStoredOrderForEqualNames)
{
    Tag beta(u"beta"_s, QColor());
    Tag alpha1(u"Alpha"_s, QColor());
    Tag alpha2(u"alpha"_s, QColor());
    Item item(ItemType::WebLink, u"x"_s);
    item.addTag(&beta);
    item.addTag(&alpha2);
    item.addTag(&alpha1);
    EXPECT_EQ(item.sortedTags(), (QList<Tag *>{&alpha2, &alpha1, &beta}));
}

TEST(Item, DestroyingEitherEndUnlinksTheOther)
{
    Folder folder(u"F"_s, QString(), QColor());
    auto tag = std::make_unique<Tag>(u"t"_s, QColor());
    auto item =
        std::make_unique<Item>(ItemType::WebLink, u"x"_s, std::nullopt, std::nullopt, &folder);
    item->addTag(tag.get());
    tag.reset();
    EXPECT_TRUE(item->tags().isEmpty());
    item.reset();
    EXPECT_TRUE(folder.items().isEmpty());

    auto doomed = std::make_unique<Folder>(u"G"_s, QString(), QColor());
    Item filed(ItemType::WebLink, u"y"_s, std::nullopt, std::nullopt, doomed.get());
    doomed.reset();
    EXPECT_EQ(filed.folder(), nullptr);
}

TEST(ItemMetadata, WritesOnlyPresentFieldsAndReadsBack)
{
    Item item(ItemType::WebLink, u"x"_s);
    ItemMetadata m;
    m.author = u"Ada"_s;
    item.setMetadata(m);
    ASSERT_TRUE(item.metadataJSON());
    const QJsonObject o = QJsonDocument::fromJson(*item.metadataJSON()).object();
    EXPECT_EQ(o.keys(), QStringList{u"author"_s});
    EXPECT_EQ(item.metadata(), m);

    ItemMetadata full;
    full.author = u"Ada"_s;
    full.publishDate = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 500), Qt::UTC);
    full.description = u"d"_s;
    full.duration = 61.5;
    full.platform = u"p"_s;
    full.ogImageURL = u"https://example.com/i.png"_s;
    full.siteName = u"s"_s;
    full.articleType = u"article"_s;
    full.keywords = QStringList{u"k1"_s, u"k2"_s};
    full.videoId = u"v"_s;
    full.customFields = QMap<QString, QString>{{u"a"_s, u"b"_s}};
    EXPECT_EQ(ItemMetadata::fromJson(full.toJson()), full);

    item.setMetadata(std::nullopt);
    EXPECT_FALSE(item.metadataJSON());
}

TEST(ItemMetadata, PublishDateIsSecondsSince2001)
{
    ItemMetadata m;
    m.publishDate = QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC);
    const QJsonObject o = QJsonDocument::fromJson(m.toJson()).object();
    EXPECT_EQ(o.value(u"publishDate"_s).toDouble(), 86400.0);

    const auto read =
        ItemMetadata::fromJson(R"({"publishDate": -1.5, "unknown": 1, "author": null})");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->publishDate, QDateTime(QDate(2000, 12, 31), QTime(23, 59, 58, 500), Qt::UTC));
    EXPECT_FALSE(read->author);
}

TEST(ItemMetadata, UndecodableJsonReadsAsAbsent)
{
    for (const char *json : {"[1,2]", "\"text\"", "{", "", R"({"author": 5})",
                             R"({"keywords": "a"})", R"({"keywords": [1]})",
                             R"({"publishDate": "2020-01-01"})", R"({"publishDate": 1e300})"}) {
        EXPECT_FALSE(ItemMetadata::fromJson(json)) << json;
        Item item(ItemType::WebLink, u"x"_s);
        item.setMetadataJSON(QByteArray(json));
        EXPECT_FALSE(item.metadata()) << json;
    }
}

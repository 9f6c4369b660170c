#include <Folder.h>
#include <Item.h>
#include <LibraryStore.h>
#include <SearchService.h>
#include <Tag.h>

#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace quillory;

namespace {

class SearchServiceTest : public ::testing::Test
{
protected:
    SearchServiceTest()
        : m_settings(m_dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat),
          m_search(&m_settings)
    {
    }

    Item *add(const QString &title, const std::optional<QString> &note = std::nullopt,
              const std::optional<QUrl> &url = std::nullopt)
    {
        m_items.push_back(std::make_unique<Item>(ItemType::WebLink, title, url, note));
        return m_items.back().get();
    }
    Tag *tag(const QString &name)
    {
        m_tags.push_back(std::make_unique<Tag>(name, QColor()));
        return m_tags.back().get();
    }
    std::vector<Item *> all() const
    {
        std::vector<Item *> v;
        for (const auto &i : m_items)
            v.push_back(i.get());
        return v;
    }
    std::vector<Item *> query(const QString &q)
    {
        return m_search.filter(all(), q, {}, std::nullopt, false, nullptr, false);
    }

    QTemporaryDir m_dir;
    QSettings m_settings;
    SearchService m_search;
    std::vector<std::unique_ptr<Tag>> m_tags; // destroyed after the items
    std::vector<std::unique_ptr<Item>> m_items;
};

int score(const Item &item, const char *q)
{
    return SearchService::relevanceScore(item, QString::fromUtf8(q));
}

// The scoring rules written as plainly as possible, to check the fast scorer against.
int referenceScore(const Item &item, const QString &query)
{
    const QString q = query.toLower();
    const QStringList words = q.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto has = [](const QString &text, const QString &needle) {
        return text.toLower().contains(needle);
    };
    const auto countWords = [&](const QString &text) {
        return int(std::count_if(words.cbegin(), words.cend(),
                                 [&](const QString &w) { return has(text, w); }));
    };
    int score = 0;
    if (has(item.title(), q))
        score += item.title().toLower().startsWith(q) ? 150 : 100;
    else if (countWords(item.title()) == words.size())
        score += 60;
    if (item.note())
        score += has(*item.note(), q) ? 40 : 10 * countWords(*item.note());
    for (const Tag *tag : item.tags())
        score += (has(tag->name(), q) ? 30 : 0) + 15 * countWords(tag->name());
    if (item.sourceDomain() && has(*item.sourceDomain(), q))
        score += 20;
    if (item.urlString() && has(*item.urlString(), q))
        score += 10;
    return score;
}

} // namespace

TEST_F(SearchServiceTest, ScoresAgreeWithThePlainRules)
{
    const QStringList vocabulary{QStringLiteral("ab"), QStringLiteral("ba"), QStringLiteral("abc"),
                                 QStringLiteral("c"),  QStringLiteral("Äb"), QStringLiteral("b a"),
                                 QStringLiteral("aa")};
    QRandomGenerator random(7);
    const auto phrase = [&](int maxWords) {
        QStringList parts;
        const int n = int(random.bounded(maxWords + 1));
        for (int i = 0; i < n; ++i)
            parts << vocabulary[int(random.bounded(qsizetype(vocabulary.size())))];
        return parts.join(random.bounded(2) ? QStringLiteral(" ") : QString());
    };
    std::vector<Tag *> pool;
    for (int i = 0; i < 6; ++i)
        pool.push_back(tag(phrase(2)));
    for (int i = 0; i < 400; ++i) {
        Item *item =
            add(phrase(4), random.bounded(2) ? std::optional<QString>(phrase(4)) : std::nullopt,
                random.bounded(2)
                    ? std::optional<QUrl>(
                          QUrl(QStringLiteral("https://") + phrase(1).remove(QLatin1Char(' ')) +
                               QStringLiteral(".example/") + phrase(2).remove(QLatin1Char(' '))))
                    : std::nullopt);
        for (int t = int(random.bounded(3)); t > 0; --t)
            item->addTag(pool[size_t(random.bounded(6))]);
    }
    for (int round = 0; round < 60; ++round) {
        const QString q = phrase(3).toLower();
        for (const auto &item : m_items)
            ASSERT_EQ(SearchService::relevanceScore(*item, q), referenceScore(*item, q))
                << qPrintable(q) << " / " << qPrintable(item->title()) << " / "
                << qPrintable(item->note().value_or(QString()));
    }
}

TEST_F(SearchServiceTest, WorkedScores)
{
    EXPECT_EQ(score(*add(QStringLiteral("GardenTools list")), "garden tools"), 60);
    EXPECT_EQ(score(*add(QStringLiteral("Garden tools basics")), "garden tools"), 150);
    EXPECT_EQ(score(*add(QStringLiteral("Best garden tools")), "garden tools"), 100);
    EXPECT_EQ(score(*add(QStringLiteral("Cooking"), QStringLiteral("garden and tools notes")),
                    "garden tools"),
              20);
    Item *tagged = add(QStringLiteral("Cooking"));
    tagged->addTag(tag(QStringLiteral("garden")));
    EXPECT_EQ(score(*tagged, "garden tools"), 15);
    EXPECT_EQ(score(*tagged, "garden"), 45);
    EXPECT_EQ(score(*add(QStringLiteral("Garden")), "ga"), 150);
    EXPECT_EQ(score(*add(QStringLiteral("Rose garden")), "ga"), 100);
    EXPECT_EQ(score(*add(QStringLiteral("Nothing"), std::nullopt,
                         QUrl(QStringLiteral("https://gallery.example/x"))),
                    "gallery"),
              30);
    EXPECT_EQ(score(*add(QStringLiteral("Nothing here")), "garden"), 0);
}

TEST_F(SearchServiceTest, ScoringDetails)
{
    // The note counts the whole query once, else each word it holds.
    EXPECT_EQ(
        score(*add(QStringLiteral("x"), QStringLiteral("about garden tools")), "garden tools"), 40);
    // Only U+0020 separates words: a tab stays inside the word.
    EXPECT_EQ(score(*add(QStringLiteral("x"), QStringLiteral("garden and tools")), "garden\ttools"),
              0);
    // Repeated spaces give no empty words.
    EXPECT_EQ(score(*add(QStringLiteral("Tools for the garden")), "garden   tools"), 60);
    // Case is folded on both sides; accents are not.
    EXPECT_EQ(score(*add(QStringLiteral("CAFÉ Review")), "café"), 150);
    EXPECT_EQ(score(*add(QStringLiteral("Cafe Review")), "café"), 0);
    // A tag scores the whole query and each word independently.
    Item *item = add(QStringLiteral("x"));
    item->addTag(tag(QStringLiteral("garden tools")));
    item->addTag(tag(QStringLiteral("tools")));
    EXPECT_EQ(score(*item, "garden tools"), 30 + 15 + 15 + 15);
    // Matches never span two fields.
    EXPECT_EQ(score(*add(QStringLiteral("garden"), QStringLiteral("tools")), "garden tools"), 10);
}

TEST_F(SearchServiceTest, ShortQueriesDoNotFilter)
{
    add(QStringLiteral("banana"));
    add(QStringLiteral("cherry"));
    for (const char *q : {"", "a", "  a  ", "     ", "\n\t", "é", "e\u0301"})
        EXPECT_EQ(query(QString::fromUtf8(q)), all()) << q;
}

TEST_F(SearchServiceTest, TextStepKeepsPositiveScoresByScoreThenInputOrder)
{
    Item *contains = add(QStringLiteral("Best garden"));
    Item *none = add(QStringLiteral("Nothing"));
    Item *starts = add(QStringLiteral("Garden party"));
    Item *containsToo = add(QStringLiteral("My garden"));
    Item *noteOnly = add(QStringLiteral("Other"), QStringLiteral("garden"));
    Q_UNUSED(none);
    EXPECT_EQ(query(QStringLiteral("  GARDEN\n")),
              (std::vector<Item *>{starts, contains, containsToo, noteOnly}));
}

TEST_F(SearchServiceTest, AttributeFilters)
{
    Folder folder(QStringLiteral("F"), QString(), QColor());
    Folder sub(QStringLiteral("Sub"), QString(), QColor(), &folder);
    Tag *a = tag(QStringLiteral("A"));
    Tag *b = tag(QStringLiteral("B"));
    Tag *c = tag(QStringLiteral("C"));

    Item *archived = add(QStringLiteral("archived"));
    archived->toggleArchive();
    Item *inFolder = add(QStringLiteral("in folder"));
    inFolder->moveToFolder(&folder);
    Item *inSub = add(QStringLiteral("in sub"));
    inSub->moveToFolder(&sub);
    Item *favorite = add(QStringLiteral("favorite"));
    favorite->toggleFavorite();
    Item *video = add(QStringLiteral("video"));
    video->setTypeRawValue(QStringLiteral("video"));
    Item *unknownKind = add(QStringLiteral("unknown"));
    unknownKind->setTypeRawValue(QStringLiteral("hologram"));
    Item *tagA = add(QStringLiteral("A only"));
    tagA->addTag(a);
    Item *tagABC = add(QStringLiteral("A B C"));
    tagABC->addTag(c);
    tagABC->addTag(a);
    tagABC->addTag(b);

    const auto run = [&](const QList<Tag *> &tags, std::optional<ItemType> type, bool favorites,
                         const Folder *f, bool archivedToo) {
        return m_search.filter(all(), QString(), tags, type, favorites, f, archivedToo);
    };
    EXPECT_EQ(run({}, std::nullopt, false, nullptr, false).size(), m_items.size() - 1);
    EXPECT_EQ(run({}, std::nullopt, false, nullptr, true).size(), m_items.size());
    EXPECT_EQ(run({}, std::nullopt, false, &folder, false), std::vector<Item *>{inFolder})
        << "direct members only";
    EXPECT_EQ(run({}, std::nullopt, true, nullptr, false), std::vector<Item *>{favorite});
    EXPECT_EQ(run({}, ItemType::Video, false, nullptr, false), std::vector<Item *>{video});
    const auto webLinks = run({}, ItemType::WebLink, false, nullptr, false);
    EXPECT_NE(std::find(webLinks.begin(), webLinks.end(), unknownKind), webLinks.end());
    EXPECT_EQ(run({a, b}, std::nullopt, false, nullptr, false), std::vector<Item *>{tagABC});
    EXPECT_EQ(run({a}, std::nullopt, false, nullptr, false), (std::vector<Item *>{tagA, tagABC}));

    // A distinct tag record carrying A's id selects the same items.
    Tag copyOfA(QStringLiteral("copy"), QColor());
    copyOfA.setId(a->id());
    EXPECT_EQ(run({&copyOfA}, std::nullopt, false, nullptr, false),
              (std::vector<Item *>{tagA, tagABC}));
}

TEST_F(SearchServiceTest, LargeListsGiveTheSameResultAsScoringEachItem)
{
    // Enough items to take the two-thread path.
    const QStringList words{QStringLiteral("alpha"),  QStringLiteral("beta"),
                            QStringLiteral("gamma"),  QStringLiteral("delta"),
                            QStringLiteral("garden"), QStringLiteral("tools")};
    for (int i = 0; i < 30000; ++i) {
        const QString title = words[i % 6] + QLatin1Char(' ') + words[(i / 6) % 6] +
                              QLatin1Char(' ') + QString::number(i);
        add(title, i % 3 == 0 ? std::optional<QString>(words[(i / 36) % 6]) : std::nullopt);
    }
    const QString q = QStringLiteral("garden tools");
    const auto result = query(q);
    std::vector<std::pair<int, Item *>> expected;
    for (Item *item : all()) {
        if (const int s = SearchService::relevanceScore(*item, q); s > 0)
            expected.emplace_back(s, item);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto &x, const auto &y) { return x.first > y.first; });
    ASSERT_EQ(result.size(), expected.size());
    for (size_t i = 0; i < result.size(); ++i)
        ASSERT_EQ(result[i], expected[i].second) << i;
}

TEST_F(SearchServiceTest, SearchTextFollowsEdits)
{
    Item *item = add(QStringLiteral("Old title"));
    EXPECT_TRUE(query(QStringLiteral("compost")).empty());
    item->setNote(QStringLiteral("All about COMPOST"));
    EXPECT_EQ(query(QStringLiteral("compost")), std::vector<Item *>{item});
    item->setNote(std::nullopt);
    item->setUrlString(QStringLiteral("https://compost.example"));
    EXPECT_EQ(query(QStringLiteral("compost")), std::vector<Item *>{item});
    Tag *t = tag(QStringLiteral("soil"));
    item->addTag(t);
    EXPECT_EQ(query(QStringLiteral("soil")), std::vector<Item *>{item});
    t->setName(QStringLiteral("Humus"));
    EXPECT_EQ(query(QStringLiteral("humus")), std::vector<Item *>{item});
}

TEST_F(SearchServiceTest, ItemsReadFromTheStoreAreSearchableAtOnce)
{
    const QString path = m_dir.filePath(QStringLiteral("lib.store"));
    QString error;
    {
        auto store = LibraryStore::open(path, &error);
        store->insert(std::make_unique<Item>(ItemType::WebLink, QStringLiteral("Compost guide"),
                                             QUrl(QStringLiteral("https://soil.example/compost"))));
        store->insert(std::make_unique<Item>(ItemType::WebLink, QStringLiteral("Other")));
    }
    auto store = LibraryStore::open(path, &error);
    ASSERT_TRUE(store);
    // No event loop has run, so nothing was prepared ahead of this search.
    const std::vector<Item *> items(store->items().cbegin(), store->items().cend());
    const auto found =
        m_search.filter(items, QStringLiteral("compost"), {}, std::nullopt, false, nullptr, false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front()->title(), QStringLiteral("Compost guide"));
    EXPECT_EQ(SearchService::relevanceScore(*found.front(), QStringLiteral("soil")), 30);
}

TEST_F(SearchServiceTest, IsSearchingIsTrueOnlyDuringFilter)
{
    add(QStringLiteral("x"));
    QList<bool> seen;
    QObject::connect(&m_search, &SearchService::isSearchingChanged,
                     [&] { seen << m_search.isSearching(); });
    query(QStringLiteral("xx"));
    EXPECT_EQ(seen, (QList<bool>{true, false}));
    EXPECT_FALSE(m_search.isSearching());
}

TEST_F(SearchServiceTest, RecentSearchesLoadAsStoredAndSave)
{
    EXPECT_TRUE(m_search.recentSearches().isEmpty());
    m_settings.setValue(QStringLiteral("recentSearches"),
                        QStringList{QStringLiteral(" padded "), QStringLiteral("b")});
    SearchService loaded(&m_settings);
    EXPECT_EQ(loaded.recentSearches(),
              (QStringList{QStringLiteral(" padded "), QStringLiteral("b")}));

    QSignalSpy changed(&loaded, &SearchService::recentSearchesChanged);
    loaded.addRecentSearch(QStringLiteral("b"));
    EXPECT_EQ(loaded.recentSearches(),
              (QStringList{QStringLiteral("b"), QStringLiteral(" padded ")}));
    EXPECT_EQ(changed.count(), 1);
    for (int i = 0; i < 20; ++i)
        loaded.addRecentSearch(QString::number(i));
    EXPECT_EQ(loaded.recentSearches().size(), SearchService::recentSearchesLimit);
    EXPECT_EQ(m_settings.value(QStringLiteral("recentSearches")).toStringList(),
              loaded.recentSearches());
    loaded.clearRecentSearches();
    EXPECT_TRUE(m_settings.value(QStringLiteral("recentSearches")).toStringList().isEmpty());
}

TEST_F(SearchServiceTest, QuerySettlesAfterTypingPauses)
{
    QSignalSpy settled(&m_search, &SearchService::debouncedQueryChanged);
    m_search.setSearchQuery(QStringLiteral("ga"));
    m_search.setSearchQuery(QStringLiteral("garden"));
    EXPECT_EQ(m_search.debouncedQuery(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(m_search.debouncedQuery(), QStringLiteral("garden"), 5000);
    EXPECT_EQ(settled.count(), 1);
}

#include <model/Clock.h>
#include <model/Folder.h>
#include <model/Item.h>
#include <model/SmartFolder.h>

#include <QTimeZone>
#include <ctime>
#include <gtest/gtest.h>

using namespace quillory;
using namespace Qt::StringLiterals;

namespace {

class FixedClock
{
public:
    explicit FixedClock(const QDateTime &now)
    {
        Clock::setSource([now] { return now; });
    }
    ~FixedClock() { Clock::setSource({}); }
};

QList<SmartFolder> membership(const Item &item, qint64 cutoff)
{
    QList<SmartFolder> in;
    for (SmartFolder f : SmartFolder::allCases()) {
        if (f.contains(item, cutoff))
            in.append(f);
    }
    return in;
}

} // namespace

TEST(SmartFolder, CasesTitlesAndRawValues)
{
    const QStringList titles{u"Inbox"_s,           u"Favorites"_s, u"Recently Added"_s,
                             u"Recently Viewed"_s, u"Archived"_s,  u"All Items"_s};
    ASSERT_EQ(SmartFolder::allCases().size(), 6);
    for (int i = 0; i < 6; ++i) {
        const SmartFolder f = SmartFolder::allCases()[i];
        EXPECT_EQ(f.title(), titles[i]);
        EXPECT_EQ(SmartFolder::fromRawValue(f.rawValue()), f);
    }
    EXPECT_EQ(SmartFolder(SmartFolder::RecentlyAdded).rawValue(), u"recentlyAdded"_s);
    EXPECT_EQ(SmartFolder(SmartFolder::Archived).iconName(), u"archivebox"_s);
}

TEST(SmartFolder, MembershipRules)
{
    const QDateTime now(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC);
    FixedClock clock(now);
    const qint64 cutoff = SmartFolder::cutoff(now, QTimeZone::utc()).toMSecsSinceEpoch();
    Folder folder(u"F"_s, QString(), QColor());

    Item plain(ItemType::WebLink, u"plain"_s);
    EXPECT_EQ(membership(plain, cutoff),
              (QList<SmartFolder>{SmartFolder::Inbox, SmartFolder::RecentlyAdded,
                                  SmartFolder::AllItems}));

    Item filedFavorite(ItemType::WebLink, u"fav"_s, std::nullopt, std::nullopt, &folder);
    filedFavorite.toggleFavorite();
    filedFavorite.setAccessedAt(now);
    EXPECT_EQ(membership(filedFavorite, cutoff),
              (QList<SmartFolder>{SmartFolder::Favorites, SmartFolder::RecentlyAdded,
                                  SmartFolder::RecentlyViewed, SmartFolder::AllItems}));

    // Archived items leave every smart folder but Archived, even unfiled favourites.
    Item archived(ItemType::WebLink, u"old"_s);
    archived.toggleFavorite();
    archived.toggleArchive();
    EXPECT_EQ(membership(archived, cutoff), QList<SmartFolder>{SmartFolder::Archived});

    // Without a cutoff given, the week is counted back from the model clock.
    EXPECT_TRUE(SmartFolder(SmartFolder::RecentlyAdded).contains(plain));
    plain.setCreatedAt(now.addDays(-8));
    EXPECT_FALSE(SmartFolder(SmartFolder::RecentlyAdded).contains(plain));
}

TEST(SmartFolder, TheUsersCutoffIsTheOneInTheirTimeZone)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid()) << "time zone data is missing";
    const QByteArray wasZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    // Either side of both changes of 2026, and in the hour that is repeated.
    for (const QDateTime &local : {QDateTime(QDate(2026, 4, 2), QTime(10, 30), berlin),
                                   QDateTime(QDate(2026, 10, 28), QTime(9, 0), berlin),
                                   QDateTime(QDate(2026, 11, 1), QTime(2, 30), berlin),
                                   QDateTime(QDate(2026, 7, 1), QTime(0, 0), berlin)}) {
        const QDateTime now = local.toUTC();
        EXPECT_EQ(SmartFolder::cutoff(now).toMSecsSinceEpoch(),
                  SmartFolder::cutoff(now, berlin).toMSecsSinceEpoch())
            << qPrintable(local.toString(Qt::ISODate));
    }
    // A week before lands in the hour the clocks skipped: the window starts after it.
    const QDateTime intoTheGap = QDateTime(QDate(2026, 4, 5), QTime(2, 30), berlin).toUTC();
    EXPECT_EQ(SmartFolder::cutoff(intoTheGap), QDateTime(QDate(2026, 3, 29), QTime(3, 30), berlin));
    if (wasZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", wasZone);
    tzset();
}

TEST(SmartFolder, CutoffKeepsWallClockAcrossDaylightSaving)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid()) << "time zone data is missing";
    // Spring forward on 2026-03-29: the week before has a 23-hour day.
    const QDateTime afterSpring(QDate(2026, 4, 2), QTime(10, 30), berlin);
    const QDateTime springCutoff = SmartFolder::cutoff(afterSpring.toUTC(), berlin);
    EXPECT_EQ(springCutoff.toTimeZone(berlin).date(), QDate(2026, 3, 26));
    EXPECT_EQ(springCutoff.toTimeZone(berlin).time(), QTime(10, 30));
    EXPECT_EQ(springCutoff.secsTo(afterSpring), 7 * 86400 - 3600);

    // Fall back on 2026-10-25: the week holds a 25-hour day.
    const QDateTime afterFall(QDate(2026, 10, 28), QTime(9, 0), berlin);
    const QDateTime fallCutoff = SmartFolder::cutoff(afterFall.toUTC(), berlin);
    EXPECT_EQ(fallCutoff.toTimeZone(berlin).time(), QTime(9, 0));
    EXPECT_EQ(fallCutoff.secsTo(afterFall), 7 * 86400 + 3600);

    // An item added or viewed exactly a week ago by the wall clock is still recent; one second
    // earlier is not.
    const QDateTime edge(QDate(2026, 3, 26), QTime(10, 30), berlin);
    Item atEdge(ItemType::WebLink, u"edge"_s);
    Item justBefore(ItemType::WebLink, u"before"_s);
    for (auto [item, at] : {std::pair(&atEdge, edge), std::pair(&justBefore, edge.addSecs(-1))}) {
        item->setCreatedAt(at);
        item->setAccessedAt(at);
    }
    for (const SmartFolder folder : {SmartFolder::RecentlyAdded, SmartFolder::RecentlyViewed}) {
        SCOPED_TRACE(folder.rawValue().toStdString());
        EXPECT_TRUE(folder.contains(atEdge, springCutoff.toMSecsSinceEpoch()));
        EXPECT_FALSE(folder.contains(justBefore, springCutoff.toMSecsSinceEpoch()));
    }
}

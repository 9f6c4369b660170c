#include <model/SmartFolder.h>

#include <model/Clock.h>
#include <model/Item.h>

#include <limits>

namespace quillory {

namespace {

struct SmartInfo
{
    const char *rawValue;
    const char *title;
    const char *iconName;
    NamedColor tint;
};

constexpr SmartInfo smartInfos[] = {
    {"inbox", "Inbox", "tray", NamedColor::Blue},
    {"favorites", "Favorites", "star", NamedColor::Yellow},
    {"recentlyAdded", "Recently Added", "clock", NamedColor::Green},
    {"recentlyViewed", "Recently Viewed", "eye", NamedColor::Purple},
    {"archived", "Archived", "archivebox", NamedColor::Gray},
    {"allItems", "All Items", "square.grid.2x2", NamedColor::Primary},
};

} // namespace

const QList<SmartFolder> &SmartFolder::allCases()
{
    static const QList<SmartFolder> all{Inbox,          Favorites, RecentlyAdded,
                                        RecentlyViewed, Archived,  AllItems};
    return all;
}

std::optional<SmartFolder> SmartFolder::fromRawValue(const QString &raw)
{
    for (SmartFolder f : allCases()) {
        if (raw == QLatin1String(smartInfos[f.m_value].rawValue))
            return f;
    }
    return std::nullopt;
}

QString SmartFolder::rawValue() const
{
    return QString::fromLatin1(smartInfos[m_value].rawValue);
}

QString SmartFolder::title() const
{
    return QString::fromLatin1(smartInfos[m_value].title);
}

QString SmartFolder::iconName() const
{
    return QString::fromLatin1(smartInfos[m_value].iconName);
}

NamedColor SmartFolder::tint() const
{
    return smartInfos[m_value].tint;
}

QDateTime SmartFolder::cutoff(const QDateTime &now, const QTimeZone &zone)
{
    return now.toTimeZone(zone).addDays(-7);
}

QDateTime SmartFolder::cutoff(const QDateTime &now)
{
    return now.toLocalTime().addDays(-7);
}

bool SmartFolder::contains(const Item &item, qint64 cutoffMSecs) const
{
    switch (m_value) {
    case Inbox:
        return item.folder() == nullptr && !item.isArchived();
    case Favorites:
        return item.isFavorite() && !item.isArchived();
    case RecentlyAdded:
        return item.createdAtMSecs() >= cutoffMSecs && !item.isArchived();
    case RecentlyViewed:
        return item.accessedAtMSecs().value_or(std::numeric_limits<qint64>::min()) >= cutoffMSecs &&
               !item.isArchived();
    case Archived:
        return item.isArchived();
    case AllItems:
        return !item.isArchived();
    }
    return false;
}

bool SmartFolder::contains(const Item &item) const
{
    return contains(item, cutoff(Clock::now()).toMSecsSinceEpoch());
}

} // namespace quillory

#pragma once

#include <model/NamedColor.h>

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <optional>

namespace quillory {

class Item;

// The six built-in folders whose contents are computed from item attributes.
class SmartFolder final
{
public:
    enum Value { Inbox, Favorites, RecentlyAdded, RecentlyViewed, Archived, AllItems };

    constexpr SmartFolder(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static const QList<SmartFolder> &allCases();
    static std::optional<SmartFolder> fromRawValue(const QString &raw);

    QString rawValue() const;
    QString title() const;
    QString iconName() const;
    NamedColor tint() const;

    // The start of the seven-day window: `now` moved back seven calendar days in `zone`,
    // so a daylight-saving change inside the week keeps the wall-clock time.
    static QDateTime cutoff(const QDateTime &now, const QTimeZone &zone);
    // The same in the user's time zone. Every refresh asks, and the system zone reads its
    // rules from disk each time it is asked for; local time keeps them.
    static QDateTime cutoff(const QDateTime &now);

    // Membership against a cut-off computed once by the caller (see cutoff()).
    bool contains(const Item &item, qint64 cutoffMSecs) const;
    // Membership for now, in the user's time zone.
    bool contains(const Item &item) const;

private:
    Value m_value;
};

} // namespace quillory

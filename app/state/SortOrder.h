#pragma once

#include <QList>
#include <QString>
#include <Qt>
#include <optional>

namespace quillory {

// The main list's order as chosen in the sort menu; stored by raw value.
class SortOrder final
{
public:
    enum Value {
        DateAddedDescending,
        DateAddedAscending,
        TitleAscending,
        TitleDescending,
        DateModifiedDescending
    };
    enum class Key { CreatedAt, Title, ModifiedAt };

    constexpr SortOrder(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static const QList<SortOrder> &allCases();
    // Exact, case-sensitive; other text gives no order.
    static std::optional<SortOrder> fromRawValue(const QString &raw);
    QString rawValue() const;
    QString title() const;
    Key key() const;
    Qt::SortOrder direction() const;

private:
    Value m_value;
};

// Grid of cards or list of rows.
class ViewMode final
{
public:
    enum Value { Grid, List };

    constexpr ViewMode(Value value) : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    static const QList<ViewMode> &allCases();
    static std::optional<ViewMode> fromRawValue(const QString &raw);
    QString rawValue() const;

private:
    Value m_value;
};

} // namespace quillory

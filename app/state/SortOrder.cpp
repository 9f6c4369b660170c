#include <state/SortOrder.h>

namespace quillory {

namespace {

struct OrderInfo
{
    const char *rawValue;
    const char *title;
    SortOrder::Key key;
    Qt::SortOrder direction;
};

constexpr OrderInfo orders[] = {
    {"date_added_desc", "Newest First", SortOrder::Key::CreatedAt, Qt::DescendingOrder},
    {"date_added_asc", "Oldest First", SortOrder::Key::CreatedAt, Qt::AscendingOrder},
    {"title_asc", "Title A-Z", SortOrder::Key::Title, Qt::AscendingOrder},
    {"title_desc", "Title Z-A", SortOrder::Key::Title, Qt::DescendingOrder},
    {"date_modified_desc", "Recently Modified", SortOrder::Key::ModifiedAt, Qt::DescendingOrder},
};

} // namespace

const QList<SortOrder> &SortOrder::allCases()
{
    static const QList<SortOrder> all{DateAddedDescending, DateAddedAscending, TitleAscending,
                                      TitleDescending, DateModifiedDescending};
    return all;
}

std::optional<SortOrder> SortOrder::fromRawValue(const QString &raw)
{
    for (SortOrder o : allCases()) {
        if (raw == QLatin1String(orders[o.m_value].rawValue))
            return o;
    }
    return std::nullopt;
}

QString SortOrder::rawValue() const
{
    return QString::fromLatin1(orders[m_value].rawValue);
}

QString SortOrder::title() const
{
    return QString::fromLatin1(orders[m_value].title);
}

SortOrder::Key SortOrder::key() const
{
    return orders[m_value].key;
}

Qt::SortOrder SortOrder::direction() const
{
    return orders[m_value].direction;
}

const QList<ViewMode> &ViewMode::allCases()
{
    static const QList<ViewMode> all{Grid, List};
    return all;
}

std::optional<ViewMode> ViewMode::fromRawValue(const QString &raw)
{
    if (raw == QLatin1String("grid"))
        return ViewMode(Grid);
    if (raw == QLatin1String("list"))
        return ViewMode(List);
    return std::nullopt;
}

QString ViewMode::rawValue() const
{
    return m_value == Grid ? QStringLiteral("grid") : QStringLiteral("list");
}

} // namespace quillory

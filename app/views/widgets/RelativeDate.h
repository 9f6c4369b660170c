#pragma once

#include <QDateTime>
#include <QString>

namespace quillory {

// "now", "5 minutes ago", "yesterday", "last week", "3 months ago": dates in named,
// wide units, as item rows show them.
class RelativeDate final
{
public:
    static QString format(const QDateTime &when, const QDateTime &now);
};

} // namespace quillory

#pragma once

#include <QDateTime>
#include <functional>

namespace quillory {

// The model's source of "now". Tests replace it to pin the seven-day windows and the
// creation and modification times; everything else reads the system clock.
class Clock final
{
public:
    using Source = std::function<QDateTime()>;

    static QDateTime now();
    static qint64 nowMSecs() { return now().toMSecsSinceEpoch(); }

    // An empty source restores the system clock.
    static void setSource(Source source);
};

} // namespace quillory

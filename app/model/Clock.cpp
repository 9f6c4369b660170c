#include <model/Clock.h>

namespace quillory {

namespace {
Clock::Source &source()
{
    static Clock::Source s;
    return s;
}
} // namespace

QDateTime Clock::now()
{
    const auto &s = source();
    return s ? s() : QDateTime::currentDateTimeUtc();
}

void Clock::setSource(Source s)
{
    source() = std::move(s);
}

} // namespace quillory

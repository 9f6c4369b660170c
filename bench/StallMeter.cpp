#include "StallMeter.h"

#include <algorithm>

namespace quillory::bench {

namespace {

double millisecondsBetween(std::chrono::steady_clock::time_point from,
                           std::chrono::steady_clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

StallMeter::StallMeter()
{
    m_beat.setTimerType(Qt::PreciseTimer);
    m_beat.setInterval(1);
    QObject::connect(&m_beat, &QTimer::timeout, [this] {
        const auto now = Clock::now();
        m_longestGap = std::max(m_longestGap, millisecondsBetween(m_lastBeat, now));
        m_lastBeat = now;
    });
}

void StallMeter::begin()
{
    m_longestGap = 0;
    m_lastBeat = Clock::now();
    m_running = true;
    m_beat.start();
}

double StallMeter::end()
{
    if (m_running) {
        m_beat.stop();
        m_longestGap = std::max(m_longestGap, millisecondsBetween(m_lastBeat, Clock::now()));
        m_running = false;
    }
    return std::max(0.0, m_longestGap - 1.0);
}

} // namespace quillory::bench

#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

namespace quillory::bench {

// Measures how long the interface thread stays away from its event loop: a timer beats
// every millisecond while it runs, and the longest gap between two beats, less the beat
// itself, is the longest stall. The stretch from begin() to the first beat counts too, so
// work done synchronously by whatever begin() precedes is included.
class StallMeter final
{
public:
    StallMeter();
    StallMeter(const StallMeter &) = delete;
    StallMeter &operator=(const StallMeter &) = delete;

    void begin();
    // The longest stall since begin(), in milliseconds.
    double end();

private:
    using Clock = std::chrono::steady_clock;
    QTimer m_beat;
    Clock::time_point m_lastBeat;
    double m_longestGap = 0;
    bool m_running = false;
};

} // namespace quillory::bench

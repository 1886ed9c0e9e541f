#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace tovel {

// Time as the pedal link sees it. The real clock for a pedal on the desk; a virtual one in
// tests, advanced only by the pacing seam, so a 100 ms pause costs nothing.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowUs() const = 0;
};

class SteadyClock : public Clock {
public:
    SteadyClock() { m_timer.start(); }
    qint64 nowUs() const override { return m_timer.nsecsElapsed() / 1000; }

private:
    QElapsedTimer m_timer;
};

class VirtualClock : public Clock {
public:
    qint64 nowUs() const override { return m_nowUs; }
    void advanceUs(qint64 us) { m_nowUs += us; }

private:
    qint64 m_nowUs = 0;
};

} // namespace tovel

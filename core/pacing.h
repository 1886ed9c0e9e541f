#pragma once

#include "core/seams.h"

#include <QList>
#include <functional>

namespace tovel {

class VirtualClock;

// Real sleeps and real event-loop turns. A turn also yields the processor for a moment, so a
// wait for a silent pedal does not keep a core busy.
class RealPacing : public Pacing {
public:
    void sleepMs(int ms) override;
    void processEvents() override;
};

// Virtual time: a sleep advances the clock by its length, an event-loop turn by one tick.
// Tests hook into the turns to act while the editor waits (unplug the pedal, click a button).
class VirtualPacing : public Pacing {
public:
    explicit VirtualPacing(VirtualClock &clock, qint64 turnUs = 1000)
        : m_clock(clock), m_turnUs(turnUs) {}

    void sleepMs(int ms) override;
    void processEvents() override;

    // Every sleep asked for, in milliseconds, in order.
    const QList<int> &sleeps() const { return m_sleeps; }
    void clearSleeps() { m_sleeps.clear(); }
    int turns() const { return m_turns; }
    // Runs at every event-loop turn, after the clock has advanced.
    std::function<void()> onTurn;

private:
    VirtualClock &m_clock;
    qint64 m_turnUs;
    QList<int> m_sleeps;
    int m_turns = 0;
};

} // namespace tovel

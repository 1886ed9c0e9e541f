#include "core/pacing.h"

#include "core/clock.h"

#include <QCoreApplication>
#include <QThread>

namespace tovel {

void RealPacing::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void RealPacing::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::usleep(200);
}

void VirtualPacing::sleepMs(int ms)
{
    m_sleeps.append(ms);
    m_clock.advanceUs(qint64(ms) * 1000);
}

void VirtualPacing::processEvents()
{
    ++m_turns;
    m_clock.advanceUs(m_turnUs);
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (onTurn)
        onTurn();
}

} // namespace tovel

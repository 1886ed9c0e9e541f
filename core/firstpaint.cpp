#include "core/firstpaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QSize>
#include <QTimer>
#include <QVariant>
#include <cstdio>
#include <utility>

namespace tovel {

long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

namespace {

class FirstPaintWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The window's first frame is painted whole and handed to the screen in this same
            // pass of the backing store; the zero-time timer runs once that pass is over.
            QTimer::singleShot(0, this, [watched] {
                const QSize size = watched->property("size").toSize();
                std::printf("first-paint %dx%d %ld\n", size.width(), size.height(), peakResidentKiB());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

// Once the watched object's first paint has gone to the screen, or at the latest after a while:
// the work, once.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QObject *window, std::function<void()> work, std::chrono::milliseconds latest)
        : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
        QTimer::singleShot(latest, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // The frame is handed to the screen in the pass of the backing store that painted it.
        if (event->type() == QEvent::Paint && m_work)
            QTimer::singleShot(0, this, [this] { run(); });
        return false;
    }

private:
    void run()
    {
        if (!m_work)
            return;
        parent()->removeEventFilter(this);
        std::exchange(m_work, nullptr)();
    }

    std::function<void()> m_work;
};

} // namespace

void afterFirstPaint(QObject *window, std::function<void()> work, std::chrono::milliseconds latest)
{
    new AfterFirstPaint(window, std::move(work), latest);
}

void quitAfterFirstPaintIfAsked(QObject *window)
{
    if (!qEnvironmentVariableIsSet("TOVEL_QUIT_AFTER_FIRST_PAINT"))
        return;
    window->installEventFilter(new FirstPaintWatch(window));
}

} // namespace tovel

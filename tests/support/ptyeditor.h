#pragma once

#include "app/application.h"
#include "app/tformmain.h"
#include "console/tformprint.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/pedalsimprocess.h"
#include "tests/support/chooseeffect.h"
#include "tests/support/testseams.h"
#include "usb/drivers/systemdrivers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

namespace tovel::test {

// The editor as `tovel-editor --device PTY` runs it: the kernel serial driver on a pseudo-
// terminal, real time and real event-loop turns.
struct PtyEditor {
    SteadyClock clock;
    RealPacing pacing;
    ScriptedPrompts prompts;
    TempFolders folders;
    std::unique_ptr<FtDriver> driver;
    std::unique_ptr<Application> app;

    explicit PtyEditor(const QString &path)
        : driver(makeSerialPathDriver(path)),
          app(std::make_unique<Application>(prompts, pacing, folders, *driver, clock))
    {
    }
    TformMain &main() { return *app->formMain(); }
    QStringList console() { return app->formPrint()->lines(); }
    bool chooseEffect(const QString &effect) { return tovel::test::chooseEffect(*app, effect); }
};

// tovel-pedal-sim on a pseudo-terminal with the modelled 115,200-baud line, logging every frame
// it parses to a file.
struct LoggedSim {
    QTemporaryDir dir;
    pedal::PedalSimProcess process;

    bool start(const QStringList &extra = {})
    {
        return process.start(QStringList{QStringLiteral("--line-rate"), QStringLiteral("115200"),
                                         QStringLiteral("--log"), logPath()}
                             + extra);
    }
    QString logPath() const { return dir.filePath(QStringLiteral("frames.log")); }
    QStringList frames() const
    {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The number of frames logged once no new one has come for 100 ms (at most 3 s).
    int settledFrameCount() const
    {
        qsizetype count = frames().size();
        QDeadlineTimer quiet(100);
        const QDeadlineTimer limit(3000);
        while (!quiet.hasExpired() && !limit.hasExpired()) {
            QThread::msleep(5);
            if (const qsizetype now = frames().size(); now != count) {
                count = now;
                quiet.setRemainingTime(100);
            }
        }
        return int(count);
    }
    // The frames logged after the first `from`, once there are `count` of them or 3 s have
    // passed: the pedal parses what reaches it at the line rate, after the editor wrote it.
    QStringList framesAfter(int from, int count) const
    {
        QStringList got;
        const QDeadlineTimer deadline(3000);
        do {
            got = frames().mid(from);
            if (got.size() >= count)
                break;
            QThread::msleep(5);
        } while (!deadline.hasExpired());
        return got;
    }
};

} // namespace tovel::test

#pragma once

#include "app/application.h"
#include "app/tformmain.h"
#include "app/console/tformprint.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/pedalsimprocess.h"
#include "tests/support/testseams.h"
#include "usb/drivers/systemdrivers.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
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
    QStringList console() { return app->session().trace().lines(); }
    bool chooseEffect(const QString &effect) { return app->session().selectEffect(effect); }
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
    // The frames the pedal parsed so far, in order (the marks left out).
    QStringList frames() const
    {
        QStringList lines = logLines();
        lines.removeIf(isMark);
        return lines;
    }
    // A settled point to count from: once every byte written so far has been parsed, the
    // number of frames logged before it; frames().mid(n) are those of what is written later.
    // -1 when the sim gave no mark (see process.errorText()).
    int mark()
    {
        const int number = process.mark();
        if (number < 0)
            return -1;
        const QStringList lines = logLines();
        const qsizetype at = lines.indexOf(QStringLiteral("mark %1").arg(number));
        if (at < 0)
            return -1;
        return int(at - std::count_if(lines.cbegin(), lines.cbegin() + at, isMark));
    }
    // The frames of everything written after the mark `from`, all of them parsed: a new mark
    // ends the list, so frames still on their way are never missed, nor later ones counted.
    QStringList framesSince(int from)
    {
        const int to = mark();
        if (from < 0 || to < 0)
            return {QStringLiteral("no mark: ") + process.errorText()};
        return frames().mid(from, to - from);
    }

private:
    static bool isMark(const QString &line) { return line.startsWith(QLatin1String("mark ")); }
    QStringList logLines() const
    {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace tovel::test

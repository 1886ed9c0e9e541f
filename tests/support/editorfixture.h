#pragma once

#include "actions/pedalhotplug.h"
#include "app/application.h"
#include "app/tformmain.h"
#include "app/effectbrowser.h"
#include "app/tformfxinfo.h"
#include "app/tformfxparameters.h"
#include "app/console/tformprint.h"
#include "app/tformfirmwareupgrade.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/catalogueresources.h"
#include "catalogue/resourceindex.h"
#include "catalogue/effectresourcename.h"
#include "core/clock.h"
#include "core/errorboundary.h"
#include "core/pacing.h"
#include "pedal/virtualpedaldriver.h"
#include "protocol/commandexchange.h"
#include "tests/support/recordedudev.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/sessionfixture.h"
#include "tests/support/testseams.h"
#include "usb/hotplugmonitor.h"

#include <QAction>
#include <QFile>
#include <QtTest>
#include <memory>
#include <type_traits>

namespace tovel::test {

// A caption as the window shows it: the mnemonic marks ("&Save" underlines the S) left out,
// "&&" shown as one "&".
inline QString shownText(const QString &caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        shown += caption[i];
    }
    return shown;
}

// The effect firmware's answer to the effect query when it runs `effect` of the catalogue
// (its line in the effect list), version 1, firmware 5.
inline QByteArray effectQueryAnswerFor(const QString &effect)
{
    QFile file(catalogueResources().path(QStringLiteral("effect_list")));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no effect list");
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i < lines.size(); ++i)
        if (QString::fromLatin1(lines[i].trimmed()).section(QLatin1Char(':'), 1) == effect)
            return "TOVEL\r\n" + QByteArray::number(i) + "\r\n1\r\n5\r\n";
    qFatal("no effect %s", qPrintable(effect));
    return {};
}

// A whole editor on scripted seams and virtual time: build the driver's devices (or pass
// another driver), then start().
struct EditorFixture {
    VirtualClock clock;
    VirtualPacing pacing{clock};
    ScriptedPrompts prompts;
    TempFolders folders;
    ScriptedFtDriver driver{&clock};
    WebSite site; // no web host unless a test names one: no test reaches the network by chance
    RecordingWebBrowser browser;
    std::unique_ptr<pedal::VirtualPedalDriver> pedalDriver;
    std::unique_ptr<Application> app;

    Application &start(FtDriver *other = nullptr)
    {
        app = std::make_unique<Application>(prompts, pacing, folders, other ? *other : driver, clock,
                                            site, &browser);
        return *app;
    }
    // The whole editor on the virtual pedal (line rate off unless the options set one), on the
    // same virtual clock.
    Application &startOnVirtualPedal(const pedal::VirtualPedalOptions &options = {})
    {
        pedalDriver = std::make_unique<pedal::VirtualPedalDriver>(options, clock);
        return start(pedalDriver.get());
    }
    pedal::VirtualPedal &pedal() { return pedalDriver->pedal(); }

    // The hot-plug monitor on a recorded udev event sequence (udev->play()), followed by the
    // started editor as the program follows udev's. busChanged runs first at every report of
    // the monitor: what the driver lists changes with the bus.
    RecordedSource *udev = nullptr;
    std::unique_ptr<HotplugMonitor> monitor;
    void followRecordedUdev(const std::function<void()> &busChanged)
    {
        auto source = std::make_unique<RecordedSource>(QList<UdevEvent>{});
        udev = source.get();
        monitor = std::make_unique<HotplugMonitor>(std::move(source));
        for (auto signal : {&HotplugMonitor::bridgeArrived, &HotplugMonitor::bridgeChanged, &HotplugMonitor::bridgeLeft})
            QObject::connect(monitor.get(), signal, [busChanged] { busChanged(); });
        QString error;
        QVERIFY(monitor->start(error));
        app->hotplug().follow(monitor.get());
    }

    // Puts an effect of the catalogue on the pedal the way an upload does, without the window.
    void loadOntoPedal(const QString &effect)
    {
        loadEffectOntoPedal(app->session(), effect);
        app->session().trace().clear();
    }

    // A user's click or menu choice: an error that escapes the handler goes to the general
    // error report, as in the running program.
    template <typename Control>
    void click(Control *control)
    {
        ErrorBoundary::run(prompts, [&] {
            if constexpr (std::is_base_of_v<QAction, Control>)
                control->trigger();
            else
                control->click();
        });
    }

    bool chooseEffect(const QString &effect) { return app->session().selectEffect(effect); }

    // The line check that goes before the first command of a connection (the effect query,
    // answered whole and alone), done now: a test of another command sees that command alone.
    // The writes and frames it made are forgotten.
    void checkLine()
    {
        checkLineNow(app->session());
        driver.writes.clear();
        driver.purges.clear();
        if (pedalDriver)
            pedal().clearFrameLog();
    }
    TformMain &main() { return *app->formMain(); }
    TformPrint &console() { return *app->formPrint(); }
    // The trace the session keeps, which the console window shows.
    const QStringList &consoleLines() { return app->session().trace().lines(); }
};

} // namespace tovel::test

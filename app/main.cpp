#include "actions/pedalhotplug.h"
#include "app/application.h"
#include "app/tformmain.h"
#include "app/tovelapplication.h"
#include "app/toolkitoptions.h"
#include "app/widgetprompts.h"
#include "app/tformfxinfo.h"
#include "app/console/tformprint.h"
#include "core/clock.h"
#include "core/firstpaint.h"
#include "core/pacing.h"
#include "pedal/driverchoice.h"
#include "usb/drivers/udevmonitorsource.h"
#include "usb/hotplugmonitor.h"
#include "usb/serialpathwatch.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

using namespace tovel;

namespace {

bool asksForTextOnly(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" || arg == "-v")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor for the ZANTH Tovel effects pedal."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption consoleOption(QStringLiteral("console"),
                                           QStringLiteral("Show the diagnostic console."));
    const QCommandLineOption deviceOption(
        QStringLiteral("device"),
        QStringLiteral("Use the serial port at <path> (e.g. /dev/ttyUSB0 or a pseudo-terminal) "
                       "as the only device, through the kernel serial driver."),
        QStringLiteral("path"));
    const QCommandLineOption virtualOption(
        QStringLiteral("virtual-pedal"), QStringLiteral("Use the virtual pedal as the only device."));
    const QCommandLineOption bootloaderOption(
        QStringLiteral("pedal-bootloader"),
        QStringLiteral("With --virtual-pedal: the pedal starts in its controller's bootloader."));
    const QCommandLineOption lineRateOption(
        QStringLiteral("pedal-line-rate"),
        QStringLiteral("With --virtual-pedal: the modelled line rate in baud, 0 for none "
                       "(default 115200)."),
        QStringLiteral("baud"), QString::number(kPedalBaudRate));
    const QCommandLineOption infoOption(
        QStringLiteral("info"),
        QStringLiteral("Open the information page of the effect <name> (e.g. \"Moss Verb\") at start."),
        QStringLiteral("name"));
    const QCommandLineOption logOption(
        QStringLiteral("log"),
        QStringLiteral("Add the session's trace to the end of <file> (a regular file, or a new "
                       "one), after a header line, instead of a new file in the state folder "
                       "(~/.local/state/tovel-editor)."),
        QStringLiteral("file"));
    parser.addOptions({consoleOption, deviceOption, virtualOption, bootloaderOption, lineRateOption,
                       infoOption, logOption});

    // A wrong option is told before the windowing system starts, which without a display would
    // end the program first.
    if (!parser.parse(withoutToolkitOptions(argumentList(argc, argv)))) {
        std::fprintf(stderr, "tovel-editor: %s\nUsage: tovel-editor [options]\n"
                             "Try 'tovel-editor --help' for every option.\n",
                     qPrintable(parser.errorText()));
        return 1;
    }

    // --help and --version answer without a display.
    std::unique_ptr<QCoreApplication> qapp;
    TovelApplication *gui = nullptr;
    if (asksForTextOnly(argc, argv)) {
        qapp = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        gui = new TovelApplication(argc, argv);
        qapp.reset(gui);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tovel-editor"));
    // Docks match the windows (WM_CLASS "tovel-editor", StartupWMClass) and the Wayland app id
    // to the desktop entry org.tovel.Editor.desktop.
    if (gui)
        QGuiApplication::setDesktopFileName(QStringLiteral("org.tovel.Editor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVEL_VERSION_TEXT));
    parser.process(*qapp);

    if (parser.isSet(deviceOption) && parser.isSet(virtualOption)) {
        std::fprintf(stderr, "tovel-editor: --device and --virtual-pedal exclude each other\n");
        return 2;
    }
    bool rateOk = false;
    const uint lineRate = parser.value(lineRateOption).toUInt(&rateOk);
    if (!rateOk) {
        std::fprintf(stderr, "tovel-editor: --pedal-line-rate takes a number of baud\n");
        return 2;
    }

    SteadyClock clock;
    DriverChoice choice;
    choice.virtualPedal = parser.isSet(virtualOption);
    choice.pedal.bootloader = parser.isSet(bootloaderOption);
    choice.pedal.lineRateBaud = lineRate;
    choice.device = parser.value(deviceOption);
    const std::unique_ptr<FtDriver> driver = makeDriver(choice, clock);

    WidgetPrompts prompts;
    RealPacing pacing;
    DesktopFolders folders;
    gui->setPrompts(&prompts);
    Application app(prompts, pacing, folders, *driver, clock,
                    WebSite::onHost(QStringLiteral(TOVEL_WEB_HOST)), nullptr, parser.value(logOption),
                    Application::Startup::FirstPaintFirst);
    if (parser.isSet(logOption) && !app.sessionLog()) {
        std::fprintf(stderr, "tovel-editor: --log: %s\n", qPrintable(app.sessionLogError()));
        return 2;
    }
    // The main window's first frame comes first; then what it does not show: the other windows,
    // the bridge scan, the version check and the hot-plug monitor.
    std::unique_ptr<HotplugMonitor> hotplug;
    std::unique_ptr<SerialPathWatch> pathWatch;
    afterFirstPaint(app.formMain(), [&] {
        app.finishStartup();
        // Bridges plugged in and pulled out: the labels follow, a pulled bridge is lost at once
        // (also for libftdi1, which would notice only at its next call), and one plugged in may
        // be connected. A --device path is watched as udev's by-id link comes and goes.
        if (parser.isSet(deviceOption)) {
            pathWatch = std::make_unique<SerialPathWatch>(parser.value(deviceOption));
            app.hotplug().follow(pathWatch.get());
        } else if (!parser.isSet(virtualOption)) {
            hotplug = std::make_unique<HotplugMonitor>(std::make_unique<UdevMonitorSource>());
            QString error;
            if (hotplug->start(error))
                app.hotplug().follow(hotplug.get());
            else
                app.console().printToConsole(QStringLiteral("No hot-plug events: ") + error);
        }
        if (parser.isSet(consoleOption))
            app.formPrint()->show();
        if (parser.isSet(infoOption)) {
            const QString name = parser.value(infoOption);
            const QString page = tformFXInfo::pagePath(folders.programFolder(), name);
            if (!QFileInfo::exists(page))
                std::fprintf(stderr, "tovel-editor: no information page %s\n", qPrintable(page));
            app.formFXInfo()->openBeside(*app.formMain(), folders.programFolder(), name);
        }
    });
    quitAfterFirstPaintIfAsked(app.formMain());
    app.formMain()->show();
    return gui->exec();
}

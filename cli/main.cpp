// tovel: the pedal from the command line. main() reads the options, builds the session on the
// chosen driver, and hands the command to TovelCommands.
#include "cli/commandline.h"
#include "cli/interruption.h"
#include "cli/stderrconsole.h"
#include "cli/terminalfolders.h"
#include "cli/terminalprompts.h"
#include "cli/terminalprogress.h"
#include "cli/tovelcommands.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/virtualpedaldriver.h"
#include "session/editorsession.h"
#include "update/website.h"
#include "usb/drivers/systemdrivers.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

using namespace tovel;

int main(int argc, char **argv)
{
    QCoreApplication qapp(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVEL_VERSION_TEXT));

    CliRequest request;
    if (const QString error = CommandLine::parse(QCoreApplication::arguments(), request); !error.isEmpty()) {
        std::fprintf(stderr, "tovel: %s\nUsage: tovel [options] COMMAND [arguments]\n"
                             "Try 'tovel --help' for the commands and options.\n",
                     qPrintable(error));
        return 1;
    }
    QTextStream out(stdout);
    if (request.help) {
        out << CommandLine::helpText();
        return 0;
    }
    if (request.version) {
        out << "tovel " << TOVEL_VERSION_TEXT << '\n';
        return 0;
    }

    SteadyClock clock;
    std::unique_ptr<FtDriver> driver;
    if (request.virtualPedal) {
        pedal::VirtualPedalOptions options;
        // The user starts the pedal in its bootloader before an upgrade; a virtual one is there.
        options.bootloader = CommandLine::needsBootloader(request.command);
        options.lineRateBaud = 115200;
        driver = pedal::makeVirtualPedalDriver(options, clock);
    } else if (!request.device.isEmpty()) {
        driver = makeSerialPathDriver(request.device);
    } else {
        driver = makeSystemDriver();
    }

    TerminalPrompts prompts;
    RealPacing pacing;
    TerminalFolders folders;
    EditorSession session(prompts, pacing, folders, *driver, clock);
    StderrConsole console;
    if (request.console)
        session.attachConsole(&console);

    const WebSite site = WebSite::onHost(QStringLiteral(TOVEL_WEB_HOST));
    TovelCommands commands(session, prompts, site, out);
    TerminalProgress progress(stderr);
    if (isatty(STDERR_FILENO)) {
        commands.onProgress = [&progress](UpgradeStep step, int value, int maximum) {
            progress.show(step, value, maximum);
        };
        commands.onProgressEnd = [&progress] { progress.finish(); };
    }
    if (CommandLine::needsBootloader(request.command)) {
        // A stop asked for ends the upgrade once the frame on its way has been answered, with a
        // message, leaving the bootloader in its command loop for the next run.
        Interruption::catchSignals();
        session.bootloaderLink().cancelWhen = [] { return Interruption::requested(); };
    }
    return commands.run(request);
}

// tovel: the pedal from the command line. main() reads the options, builds the session on the
// chosen driver, and hands the command to TovelCommands.
#include "cli/commandline.h"
#include "cli/interruption.h"
#include "cli/stderrconsole.h"
#include "cli/terminalfolders.h"
#include "cli/terminalprompts.h"
#include "cli/terminaltext.h"
#include "cli/terminalprogress.h"
#include "cli/tovelcommands.h"
#include "core/clock.h"
#include "core/pacing.h"
#include "pedal/driverchoice.h"
#include "session/editorsession.h"
#include "update/website.h"

#include <QCoreApplication>
#include <QJsonObject>
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
    QTextStream out(stdout);
    if (const QString error = CommandLine::parse(QCoreApplication::arguments(), request); !error.isEmpty()) {
        if (request.json) {
            out << TovelCommands::errorJson(1, error);
            return 1;
        }
        const QString usage = request.command.isEmpty() || !CommandLine::commandNames().contains(request.command)
            ? QStringLiteral("Try 'tovel --help' for the commands and options.")
            : QStringLiteral("Try 'tovel help %1' for its words and options.").arg(request.command);
        std::fprintf(stderr, "tovel: %s\nUsage: tovel [options] COMMAND [arguments]\n%s\n",
                     qPrintable(escapedForTerminal(error)), qPrintable(usage));
        return 1;
    }
    if (request.help || request.version) {
        const QString text = request.help ? CommandLine::helpText(request.command)
                                          : QStringLiteral("tovel %1\n").arg(QStringLiteral(TOVEL_VERSION_TEXT));
        if (request.json)
            out << TovelCommands::json(QJsonObject{
                {request.help ? QStringLiteral("help") : QStringLiteral("version"),
                 request.help ? QJsonValue(text) : QJsonValue(QJsonObject{{QStringLiteral("program"),
                                                                           QStringLiteral(TOVEL_VERSION_TEXT)}})}});
        else if (!request.quiet)
            out << text;
        return 0;
    }

    SteadyClock clock;
    DriverChoice choice;
    choice.virtualPedal = request.virtualPedal;
    // The user starts the pedal in its bootloader before an upgrade; a virtual one is there.
    choice.pedal.bootloader = CommandLine::needsBootloader(request.command);
    choice.pedal.lineRateBaud = kPedalBaudRate;
    choice.device = request.device;
    const std::unique_ptr<FtDriver> driver = makeDriver(choice, clock);

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
    if (isatty(STDERR_FILENO) && !request.quiet) {
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

// tovel-pedal-sim: the virtual pedal served on a pseudo-terminal, for the editor started with
// --device, for the kernel serial driver and for third-party bootloader clients.
//
// The first line on stdout is the terminal's path. The program runs until SIGTERM or SIGINT
// (or, with --until-stdin-closes, until its stdin reaches end of file, so that it never
// outlives a parent that died); then it writes the flash dump if one was asked for.
//
// With --until-stdin-closes, each line on stdin is a command, answered by one line on stdout:
//   faults LIST   the faults from now on, replacing the ones before ("ok" or "error ...");
//                 LIST is "none" or a comma-separated list of no-answer, garbage, short,
//                 chatter, split:PIECES:GAP, unplug-after-bytes:N (close the terminal once N
//                 more bytes have come from the host, as a cable pulled mid-command),
//                 line-ends:crlf|cr|lf (how the state answer ends its lines),
//                 stall:state|query:BYTE:MS (every state answer, or every effect query answer,
//                 stops after BYTE bytes and sends the rest MS later).
//   unplug        pull the cable now: the terminal closes ("ok").
//   plug          plug it back in: a new terminal ("ok PATH"; PATH as for the first line).
//
// The bridge leaving and coming back is also told by a line of its own on stdout, whatever
// the cause (unplug, plug, --unplug-after, unplug-after-bytes, a restart after GO):
//   unplugged     the terminal has closed, as a bridge pulled off the bus
//   plugged PATH  a new terminal serves the pedal, as a bridge that came back
// These come before the answer of the command that caused them, and between answers when
// time caused them; an answer always starts with "ok" or "error".
//
// --restart-after-go says what the bridge does when the bootloader's GO starts the new
// firmware: it stays (the firmware answers on the same terminal), re-enumerates (the
// terminal closes and a new one opens MS later, as a USB device coming back under a new
// name), or never comes back (until "plug"). --link keeps a symbolic link to the current
// terminal, gone while unplugged, as udev keeps /dev/serial/by-id/ for a real bridge.
//   mark          answered "mark N" (N counts from 1) once every byte written to the terminal
//                 before the command has been parsed and every answer to it written back; with
//                 --log the line "mark N" follows the frames of those bytes. Commands after it
//                 wait for its answer. "error ..." when the terminal dropped the mark (a client's
//                 transmit flush).
//
// SIGUSR1 resets the controller into its bootloader, as the user does by hand before an
// upgrade; the flash is kept.

#include "core/clock.h"
#include "pedal/virtualpedal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

using namespace tovel;
using namespace tovel::pedal;

namespace {

int g_signalPipe[2] = {-1, -1};

// The faults a LIST of the control command names (see the top of this file).
bool parseFaults(const QString &list, PedalFaults &faults, qint64 &unplugAfterBytes, QString &error)
{
    faults = PedalFaults{};
    unplugAfterBytes = -1;
    if (list.trimmed() == QLatin1String("none"))
        return true;
    for (const QString &item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = item.trimmed().split(QLatin1Char(':'));
        const QString &name = parts.first();
        bool ok = true, ok2 = true;
        if (name == QLatin1String("no-answer") && parts.size() == 1) {
            faults.noAnswer = true;
        } else if (name == QLatin1String("garbage") && parts.size() == 1) {
            faults.garbage = true;
        } else if (name == QLatin1String("short") && parts.size() == 1) {
            faults.shortAnswers = true;
        } else if (name == QLatin1String("chatter") && parts.size() == 1) {
            faults.chatter = true;
        } else if (name == QLatin1String("split") && parts.size() == 3) {
            faults.splitPieces = parts[1].toInt(&ok);
            faults.splitGapMs = parts[2].toInt(&ok2);
            ok = ok && ok2 && faults.splitPieces >= 1 && faults.splitGapMs >= 0;
        } else if (name == QLatin1String("line-ends") && parts.size() == 2
                   && (parts[1] == QLatin1String("crlf") || parts[1] == QLatin1String("cr")
                       || parts[1] == QLatin1String("lf"))) {
            faults.stateLineEnds = parts[1] == QLatin1String("cr")   ? PedalFaults::LineEnds::Cr
                                   : parts[1] == QLatin1String("lf") ? PedalFaults::LineEnds::Lf
                                                                     : PedalFaults::LineEnds::CrLf;
        } else if (name == QLatin1String("stall") && parts.size() == 4
                   && (parts[1] == QLatin1String("state") || parts[1] == QLatin1String("query"))) {
            PedalFaults::Stall &stall = parts[1] == QLatin1String("state") ? faults.stateStall : faults.queryStall;
            stall.atByte = parts[2].toInt(&ok);
            stall.ms = parts[3].toInt(&ok2);
            ok = ok && ok2 && stall.on();
        } else if (name == QLatin1String("unplug-after-bytes") && parts.size() == 2) {
            unplugAfterBytes = parts[1].toLongLong(&ok);
            ok = ok && unplugAfterBytes >= 0;
        } else {
            ok = false;
        }
        if (!ok) {
            error = QStringLiteral("cannot read the fault \"%1\"").arg(item.trimmed());
            return false;
        }
    }
    return true;
}

// A mark from stdin. The sim writes its token into the terminal's slave side itself, so the
// token comes out of the master after every byte the host had written before: the kernel
// hands written bytes to the reading side a moment later, in order, so "what has arrived by
// now" would miss the newest.
struct Mark {
    int number = 0;
    QByteArray token;
    qint64 askedUs = 0;
    bool seen = false; // the token has come out of the master
};

// 16 random bytes from 0x80-0xFF: no output processing a client may switch on (CR/LF
// translation, upper-casing, tabs) touches them, and no host sends them by chance.
QByteArray markToken()
{
    QByteArray token(16, '\0');
    for (char &c : token)
        c = char(0x80 | QRandomGenerator::global()->bounded(0x80));
    return token;
}

// How many bytes at the end of `bytes` could be the start of `token`.
qsizetype tokenStartAtEnd(const QByteArray &bytes, const QByteArray &token)
{
    for (qsizetype n = std::min(bytes.size(), token.size() - 1); n > 0; --n)
        if (bytes.endsWith(token.left(n)))
            return n;
    return 0;
}

// A token that has not come through by then was dropped by the terminal.
constexpr qint64 kMarkLostUs = 3'000'000;

constexpr char kSignalEnd = 1;
constexpr char kSignalBootloader = 2;

void onSignal(int signal)
{
    const char c = signal == SIGUSR1 ? kSignalBootloader : kSignalEnd;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// A pty pair in raw mode. The slave stays open here too, so the master never sees a hang-up
// while clients come and go, and their termios changes (baud, parity) are harmless.
struct Pty {
    int master = -1;
    int slave = -1;
    QByteArray path;

    bool open(QString &error)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno));
            return false;
        }
        path = ptsname(master);
        slave = ::open(path.constData(), O_RDWR | O_NOCTTY);
        if (slave < 0) {
            error = QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(path), strerror(errno));
            return false;
        }
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B115200);
        cfsetospeed(&t, B115200);
        tcsetattr(slave, TCSANOW, &t);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        // Only marks are written here; one never waits for a full terminal.
        fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
        return true;
    }

    bool isOpen() const { return master >= 0; }

    void close()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
        slave = master = -1;
    }
};

// "stays", "reenumerate[:MS]" or "never".
bool parseRestart(const QString &text, RestartAfterGo &restart)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() == 1 && parts[0] == QLatin1String("stays")) {
        restart.bridge = RestartAfterGo::Bridge::Stays;
        return true;
    }
    if (parts.size() == 1 && parts[0] == QLatin1String("never")) {
        restart.bridge = RestartAfterGo::Bridge::NeverBack;
        return true;
    }
    if (parts[0] != QLatin1String("reenumerate") || parts.size() > 2)
        return false;
    restart.bridge = RestartAfterGo::Bridge::Reenumerates;
    if (parts.size() == 2) {
        bool ok = false;
        restart.goneMs = parts[1].toInt(&ok);
        return ok && restart.goneMs >= 0;
    }
    return true;
}

void printLine(const QByteArray &line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tovel-pedal-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The virtual Tovel pedal on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption bootloader(QStringLiteral("bootloader"), QStringLiteral("Start in the controller's bootloader."));
    const QCommandLineOption lineRate(QStringLiteral("line-rate"), QStringLiteral("Model a line rate of BAUD (10 bits a byte); 0 = off."), QStringLiteral("BAUD"), QStringLiteral("0"));
    const QCommandLineOption firmware(QStringLiteral("firmware-version"), QStringLiteral("Firmware version reported when flash holds no variant record."), QStringLiteral("N"), QString::number(EffectFirmware::kDefaultFirmwareVersion));
    const QCommandLineOption noAnswer(QStringLiteral("no-answer"), QStringLiteral("Send no answers."));
    const QCommandLineOption nackAt(QStringLiteral("nack-at-ack"), QStringLiteral("Turn the N-th bootloader acknowledge into a NACK."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption garbage(QStringLiteral("garbage"), QStringLiteral("Replace every answer with noise."));
    const QCommandLineOption shortAnswers(QStringLiteral("short-answers"), QStringLiteral("Cut every answer after its first half."));
    const QCommandLineOption chatter(QStringLiteral("chatter"), QStringLiteral("Never fall quiet: noise whenever no answer is being sent."));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Cut every answer into PIECES with GAP milliseconds between them."), QStringLiteral("PIECES:GAP"));
    const QCommandLineOption unplugAfter(QStringLiteral("unplug-after"), QStringLiteral("Close the terminal after MS milliseconds, as a pulled cable."), QStringLiteral("MS"));
    const QCommandLineOption dumpFlash(QStringLiteral("dump-flash"), QStringLiteral("Write the 128 KB flash to FILE on exit."), QStringLiteral("FILE"));
    const QCommandLineOption logFile(QStringLiteral("log"), QStringLiteral("Write one line per parsed frame to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption untilStdin(QStringLiteral("until-stdin-closes"), QStringLiteral("Also exit when stdin reaches end of file."));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"), QStringLiteral("The bootloader hangs after answering N frames."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption flashDefect(QStringLiteral("flash-defect"), QStringLiteral("The flash cell at ADDRESS stores every written byte with bit 4 inverted."), QStringLiteral("ADDRESS"));
    const QCommandLineOption eraseBusy(QStringLiteral("erase-busy"), QStringLiteral("A global erase takes MS milliseconds, answered 0x76 (busy) every second meanwhile."), QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption restartAfterGo(QStringLiteral("restart-after-go"), QStringLiteral("What the bridge does when GO starts the new firmware: stays (the same terminal), reenumerate[:MS] (a new terminal MS later, 1000 by default) or never (gone until \"plug\")."), QStringLiteral("MODE"), QStringLiteral("stays"));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Keep a symbolic link at PATH to the current terminal, gone while unplugged."), QStringLiteral("PATH"));
    parser.addOptions({bootloader, lineRate, firmware, noAnswer, nackAt, garbage, split, unplugAfter,
                       dumpFlash, logFile, untilStdin, shortAnswers, chatter, silentAfter, flashDefect, eraseBusy,
                       restartAfterGo, link});
    parser.process(app);

    const auto fail = [](const QString &text) {
        std::fprintf(stderr, "tovel-pedal-sim: %s\n", qPrintable(text));
        return 2;
    };

    VirtualPedalOptions options;
    options.bootloader = parser.isSet(bootloader);
    bool ok = true;
    options.lineRateBaud = parser.value(lineRate).toUInt(&ok);
    if (!ok)
        return fail(QStringLiteral("--line-rate wants a number"));
    options.firmwareVersion = parser.value(firmware).toInt(&ok);
    if (!ok || options.firmwareVersion < 0 || options.firmwareVersion > 254)
        return fail(QStringLiteral("--firmware-version wants a number 0..254"));
    options.faults.noAnswer = parser.isSet(noAnswer);
    options.faults.garbage = parser.isSet(garbage);
    options.faults.shortAnswers = parser.isSet(shortAnswers);
    options.faults.chatter = parser.isSet(chatter);
    options.faults.nackAtAck = parser.value(nackAt).toInt(&ok);
    if (!ok || options.faults.nackAtAck < 0)
        return fail(QStringLiteral("--nack-at-ack wants a count"));
    if (parser.isSet(split)) {
        const QStringList parts = parser.value(split).split(QLatin1Char(':'));
        bool ok2 = false;
        options.faults.splitPieces = parts.value(0).toInt(&ok);
        options.faults.splitGapMs = parts.value(1).toInt(&ok2);
        if (parts.size() != 2 || !ok || !ok2 || options.faults.splitPieces < 1 || options.faults.splitGapMs < 0)
            return fail(QStringLiteral("--split wants PIECES:GAP, e.g. 3:50"));
    }
    options.faults.silentAfterFrames = parser.value(silentAfter).toInt(&ok);
    if (!ok || options.faults.silentAfterFrames < 0)
        return fail(QStringLiteral("--silent-after wants a count"));
    if (parser.isSet(flashDefect)) {
        options.faults.flashDefectAddress = parser.value(flashDefect).toUInt(&ok, 0);
        if (!ok || options.faults.flashDefectAddress == 0)
            return fail(QStringLiteral("--flash-defect wants an address, e.g. 0x08003000"));
    }
    options.faults.eraseBusyMs = parser.value(eraseBusy).toInt(&ok);
    if (!ok || options.faults.eraseBusyMs < 0)
        return fail(QStringLiteral("--erase-busy wants milliseconds"));
    if (!parseRestart(parser.value(restartAfterGo), options.restartAfterGo))
        return fail(QStringLiteral("--restart-after-go wants stays, reenumerate, reenumerate:MS or never"));
    qint64 unplugAtUs = -1;
    if (parser.isSet(unplugAfter)) {
        unplugAtUs = parser.value(unplugAfter).toLongLong(&ok) * 1000;
        if (!ok || unplugAtUs < 0)
            return fail(QStringLiteral("--unplug-after wants milliseconds"));
    }

    QFile log;
    QTextStream logStream(&log);
    if (parser.isSet(logFile)) {
        log.setFileName(parser.value(logFile));
        if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return fail(QStringLiteral("cannot write %1").arg(log.fileName()));
    }

    if (::pipe(g_signalPipe) != 0)
        return fail(QStringLiteral("cannot make a pipe"));
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Pty pty;
    QString error;
    if (!pty.open(error))
        return fail(error);

    SteadyClock clock;
    VirtualPedal pedal(options, clock);
    if (log.isOpen()) {
        pedal.onFrameLogged = [&logStream](const QString &line) {
            logStream << line << '\n';
            logStream.flush();
        };
    }

    const QByteArray linkPath = QFile::encodeName(parser.value(link));
    const auto makeLink = [&] {
        if (linkPath.isEmpty())
            return;
        ::unlink(linkPath.constData());
        if (::symlink(pty.path.constData(), linkPath.constData()) != 0)
            std::fprintf(stderr, "tovel-pedal-sim: cannot link %s: %s\n", linkPath.constData(), strerror(errno));
    };
    makeLink();

    std::printf("%s\n", pty.path.constData());
    std::fflush(stdout);

    QByteArray outgoing; // answer bytes the terminal has not taken yet
    bool watchStdin = parser.isSet(untilStdin);
    QByteArray command;          // a control line coming in on stdin
    qint64 unplugAfterBytes = -1; // host bytes still to take before the cable is pulled
    // The terminal follows the bridge: it closes as the bridge leaves the bus and a new one
    // opens as it comes back. False when no new terminal could be had (error says why).
    const auto followBridge = [&](QString &error) {
        if (pedal.unplugged() && pty.isOpen()) {
            pty.close();
            outgoing.clear();
            if (!linkPath.isEmpty())
                ::unlink(linkPath.constData());
            std::fprintf(stderr, "tovel-pedal-sim: unplugged\n");
            printLine("unplugged");
        } else if (!pedal.unplugged() && !pty.isOpen()) {
            if (!pty.open(error)) {
                pty.close();
                return false;
            }
            makeLink();
            printLine("plugged " + pty.path);
        }
        return true;
    };
    std::optional<Mark> mark;    // the mark being answered; later commands wait
    int marks = 0;
    QByteArray held;             // host bytes behind the mark's token, or the token's start
    const auto reply = [&](const QString &line) {
        printLine(line.toLocal8Bit());
    };
    const auto unplugNow = [&] {
        pedal.unplug();
        followBridge(error);
    };
    // Bytes from the host reach the pedal, up to where the cable is pulled.
    const auto feedHost = [&](const QByteArray &bytes) {
        if (bytes.isEmpty() || pty.master < 0)
            return;
        qint64 take = bytes.size();
        if (unplugAfterBytes >= 0)
            take = std::min<qint64>(take, unplugAfterBytes);
        pedal.hostWrite(bytes.left(qsizetype(take)));
        if (unplugAfterBytes >= 0 && (unplugAfterBytes -= take) == 0) {
            unplugNow();
            unplugAfterBytes = -1;
        }
    };
    const auto runCommands = [&] {
        for (qsizetype end; !mark && (end = command.indexOf('\n')) >= 0;) {
            const QString line = QString::fromLocal8Bit(command.left(end)).trimmed();
            command.remove(0, end + 1);
            if (line == QLatin1String("mark")) {
                mark = Mark{++marks, markToken(), clock.nowUs()};
                if (pty.master >= 0
                    && ::write(pty.slave, mark->token.constData(), size_t(mark->token.size())) != mark->token.size()) {
                    reply(QStringLiteral("error cannot write the mark into the terminal: %1").arg(strerror(errno)));
                    mark.reset();
                }
                continue;
            }
            PedalFaults faults;
            qint64 unplugAfter = -1;
            QString error;
            QString answer = QStringLiteral("ok");
            if (line == QLatin1String("unplug")) {
                unplugAfterBytes = -1;
                unplugNow();
            } else if (line == QLatin1String("plug")) {
                pedal.unplug(false);
                if (followBridge(error))
                    answer += QLatin1Char(' ') + QString::fromLocal8Bit(pty.path);
            } else if (!line.startsWith(QLatin1String("faults "))) {
                error = QStringLiteral("unknown command \"%1\"").arg(line);
            } else if (parseFaults(line.mid(7), faults, unplugAfter, error)) {
                faults.unplugged = pedal.unplugged();
                pedal.setFaults(faults);
                unplugAfterBytes = unplugAfter;
            }
            reply(error.isEmpty() ? answer : QStringLiteral("error ") + error);
        }
    };
    // The mark is answered once its token is through and the pedal has done all it was asked
    // before it; what the host wrote after the token goes to the pedal from then on.
    const auto answerMark = [&](const QString &error) {
        if (error.isEmpty()) {
            const QString line = QStringLiteral("mark %1").arg(mark->number);
            if (log.isOpen()) {
                logStream << line << '\n';
                logStream.flush();
            }
            reply(line);
        } else {
            reply(QStringLiteral("error ") + error);
        }
        mark.reset();
        feedHost(std::exchange(held, {}));
        runCommands();
    };
    char buffer[4096];
    for (;;) {
        pollfd fds[3] = {};
        fds[0] = {g_signalPipe[0], POLLIN, 0};
        fds[1] = {pty.master, short(outgoing.isEmpty() ? POLLIN : POLLIN | POLLOUT), 0};
        fds[2] = {watchStdin ? STDIN_FILENO : -1, POLLIN, 0};
        // While the pedal has bytes on the wire or a frame waiting for its quiet gap, look
        // again every millisecond; otherwise sleep until something happens.
        int timeoutMs = pedal.busy() || (pty.master >= 0 && mark) ? 1 : -1;
        if (unplugAtUs >= 0)
            timeoutMs = 1;
        if (::poll(fds, 3, timeoutMs) < 0 && errno != EINTR)
            return fail(QStringLiteral("poll: %1").arg(strerror(errno)));
        if (fds[0].revents & POLLIN) {
            char c = 0;
            if (::read(g_signalPipe[0], &c, 1) == 1 && c == kSignalBootloader) {
                pedal.enterBootloader();
                continue;
            }
            break;
        }
        if (watchStdin && (fds[2].revents & (POLLIN | POLLHUP))) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                break;
            command.append(buffer, n);
            runCommands();
        }
        if (unplugAtUs >= 0 && clock.nowUs() >= unplugAtUs) {
            unplugNow();
            unplugAtUs = -1;
        }
        // A bridge due to leave or come back after a GO does so now.
        pedal.catchUp();
        if (!followBridge(error))
            return fail(error);
        if (pty.master < 0) {
            // Unplugged: nothing more reaches the pedal.
            if (mark)
                answerMark({});
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(pty.master, buffer, sizeof buffer);
            if (n > 0) {
                QByteArray bytes(buffer, qsizetype(n));
                if (mark && !mark->seen) {
                    bytes.prepend(std::exchange(held, {}));
                    if (const qsizetype at = bytes.indexOf(mark->token); at >= 0) {
                        mark->seen = true;
                        held = bytes.mid(at + mark->token.size());
                        bytes.truncate(at);
                    } else {
                        held = bytes.right(tokenStartAtEnd(bytes, mark->token));
                        bytes.chop(held.size());
                    }
                } else if (mark) {
                    held += std::exchange(bytes, {});
                }
                feedHost(bytes);
                if (pty.master < 0)
                    continue;
            }
        }
        outgoing += pedal.hostRead(pedal.hostQueued());
        while (!outgoing.isEmpty()) {
            const ssize_t n = ::write(pty.master, outgoing.constData(), size_t(outgoing.size()));
            if (n <= 0)
                break; // the terminal's queue is full: wait for POLLOUT
            outgoing.remove(0, n);
        }
        if (mark && mark->seen && pedal.settled() && outgoing.isEmpty())
            answerMark({});
        else if (mark && !mark->seen && clock.nowUs() - mark->askedUs > kMarkLostUs)
            answerMark(QStringLiteral("the terminal dropped mark %1").arg(mark->number));
    }

    pty.close();
    if (!linkPath.isEmpty())
        ::unlink(linkPath.constData());
    if (parser.isSet(dumpFlash)) {
        QFile dump(parser.value(dumpFlash));
        if (!dump.open(QIODevice::WriteOnly | QIODevice::Truncate) || dump.write(pedal.flash()) != pedal.flash().size())
            return fail(QStringLiteral("cannot write %1").arg(dump.fileName()));
    }
    return 0;
}

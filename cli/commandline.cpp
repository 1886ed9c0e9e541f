#include "cli/commandline.h"

#include <QCommandLineParser>
#include <array>

namespace tovel {

namespace {

// The options a command takes beyond the global ones.
enum Option : unsigned {
    Json = 1,
    File = 2,
    Ir = 4,
    Normalise = 8,
    NoBackup = 16,
    Fast = 32,
    ApplyMismatched = 64,
    Reverse = 128,
};

struct CommandRule {
    const char *name;
    int minWords;
    int maxWords;
    unsigned options;
    bool pedal;      // connects to the pedal
    bool bootloader; // ... to the controller's bootloader
};

constexpr std::array<CommandRule, 14> kCommands = {{
    {"list", 0, 1, Json, false, false},
    {"info", 1, 1, Json, false, false},
    {"upload", 0, 1, File | Ir | Normalise, true, false},
    {"query", 0, 0, Json, true, false},
    {"state", 0, 0, Json, true, false},
    {"set", 2, 2, 0, true, false},
    {"limit", 2, 3, 0, true, false},
    {"assign", 2, 2, Reverse, true, false},
    {"store", 0, 0, 0, true, false},
    {"config", 1, 2, ApplyMismatched, true, false},
    {"flash", 1, 1, NoBackup | Fast, true, true},
    {"backup", 1, 1, Fast, true, true},
    {"version", 0, 0, 0, false, false},
    {"help", 0, 0, 0, false, false},
}};

const CommandRule *ruleOf(const QString &command)
{
    for (const CommandRule &rule : kCommands)
        if (command == QLatin1String(rule.name))
            return &rule;
    return nullptr;
}

} // namespace

bool CommandLine::needsPedal(const QString &command)
{
    const CommandRule *rule = ruleOf(command);
    return rule && rule->pedal;
}

bool CommandLine::needsBootloader(const QString &command)
{
    const CommandRule *rule = ruleOf(command);
    return rule && rule->bootloader;
}

QString CommandLine::parse(const QStringList &arguments, CliRequest &request)
{
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption device(QStringLiteral("device"), QString(), QStringLiteral("path"));
    const QCommandLineOption virtualPedal(QStringLiteral("virtual-pedal"), QString());
    const QCommandLineOption console(QStringLiteral("console"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption file(QStringLiteral("file"), QString(), QStringLiteral("file"));
    const QCommandLineOption ir(QStringLiteral("ir"), QString(), QStringLiteral("wav"));
    const QCommandLineOption normalise(QStringLiteral("normalise"), QString());
    const QCommandLineOption noBackup(QStringLiteral("no-backup"), QString());
    const QCommandLineOption fast(QStringLiteral("fast"), QString());
    const QCommandLineOption applyMismatched(QStringLiteral("apply-mismatched"), QString());
    const QCommandLineOption reverse(QStringLiteral("reverse"), QString());
    const QCommandLineOption noReverse(QStringLiteral("no-reverse"), QString());
    parser.addOptions({help, version, device, virtualPedal, console, json, file, ir, normalise, noBackup, fast,
                       applyMismatched, reverse, noReverse});
    if (!parser.parse(arguments))
        return parser.errorText();

    request = CliRequest();
    request.help = parser.isSet(help);
    request.version = parser.isSet(version);
    request.device = parser.value(device);
    request.virtualPedal = parser.isSet(virtualPedal);
    request.console = parser.isSet(console);
    request.json = parser.isSet(json);
    request.file = parser.value(file);
    request.ir = parser.value(ir);
    request.normalise = parser.isSet(normalise);
    request.noBackup = parser.isSet(noBackup);
    request.fast = parser.isSet(fast);
    request.applyMismatched = parser.isSet(applyMismatched);
    if (parser.isSet(reverse) && parser.isSet(noReverse))
        return QStringLiteral("--reverse and --no-reverse exclude each other.");
    if (parser.isSet(reverse) || parser.isSet(noReverse))
        request.reverse = parser.isSet(reverse);
    if (parser.isSet(device) && request.virtualPedal)
        return QStringLiteral("--device and --virtual-pedal exclude each other.");
    if (parser.isSet(device) && request.device.isEmpty())
        return QStringLiteral("--device needs the path of the pedal's port.");

    QStringList words = parser.positionalArguments();
    if (!words.isEmpty()) {
        request.command = words.takeFirst();
        request.words = words;
    }
    if (request.command == QLatin1String("help"))
        request.help = true;
    if (request.help || request.version)
        return QString();
    if (request.command.isEmpty())
        return QStringLiteral("No command given.");
    const CommandRule *rule = ruleOf(request.command);
    if (!rule)
        return QStringLiteral("\"%1\" is no command.").arg(request.command);

    // An option the command does not take is a mistake worth saying, not one to ignore.
    const struct {
        unsigned flag;
        bool set;
        const char *name;
    } given[] = {
        {Json, request.json, "--json"},
        {File, parser.isSet(file), "--file"},
        {Ir, parser.isSet(ir), "--ir"},
        {Normalise, request.normalise, "--normalise"},
        {NoBackup, request.noBackup, "--no-backup"},
        {Fast, request.fast, "--fast"},
        {ApplyMismatched, request.applyMismatched, "--apply-mismatched"},
        {Reverse, request.reverse.has_value(), request.reverse.value_or(true) ? "--reverse" : "--no-reverse"},
    };
    for (const auto &option : given)
        if (option.set && !(rule->options & option.flag))
            return QStringLiteral("%1 takes no %2.").arg(request.command, QLatin1String(option.name));
    if (!rule->pedal && (!request.device.isEmpty() || request.virtualPedal))
        return QStringLiteral("%1 does not talk to the pedal: it takes no --device or --virtual-pedal.")
            .arg(request.command);

    const qsizetype count = request.words.size();
    if (count < rule->minWords || count > rule->maxWords)
        return QStringLiteral("Wrong number of arguments for %1.").arg(request.command);

    if (request.command == QLatin1String("upload")) {
        if ((count == 1) == parser.isSet(file))
            return QStringLiteral("upload takes an effect's name or --file FILE, one of them.");
        if (parser.isSet(file) && request.file.isEmpty())
            return QStringLiteral("--file needs the path of a program file.");
        if (parser.isSet(file) && parser.isSet(ir))
            return QStringLiteral("--ir goes with an effect's name, not with --file.");
        if (parser.isSet(ir) && request.ir.isEmpty())
            return QStringLiteral("--ir needs the path of a WAV file.");
        if (request.normalise && !parser.isSet(ir))
            return QStringLiteral("--normalise goes with --ir.");
    } else if (request.command == QLatin1String("config")) {
        const QString &verb = request.words.first();
        if (verb != QLatin1String("save") && verb != QLatin1String("load"))
            return QStringLiteral("config takes save or load, not \"%1\".").arg(verb);
        if (request.applyMismatched && verb != QLatin1String("load"))
            return QStringLiteral("--apply-mismatched goes with config load.");
    } else if (request.command == QLatin1String("limit")) {
        const QString &verb = request.words.at(1);
        if (verb != QLatin1String("min") && verb != QLatin1String("max") && verb != QLatin1String("clear"))
            return QStringLiteral("limit takes min, max or clear, not \"%1\".").arg(verb);
        if (verb == QLatin1String("clear") && count == 3)
            return QStringLiteral("limit ROW clear takes no level.");
    }
    return QString();
}

QString CommandLine::helpText()
{
    return QStringLiteral(
        "Usage: tovel [options] COMMAND [arguments]\n"
        "The ZANTH Tovel effects pedal from the command line: the windowed editor's actions,\n"
        "one command a run. A command that talks to the pedal connects, acts and disconnects.\n"
        "\n"
        "Commands:\n"
        "  list [CATEGORY]            the effects of the catalogue, or of one category\n"
        "  info NAME                  an effect's category, rows and information page\n"
        "  upload NAME                send an effect of the catalogue to the pedal\n"
        "    [--ir WAV [--normalise]]   with the impulse response of WAV (IR loaders)\n"
        "  upload --file FILE         send a program from a text file of hex digits\n"
        "  query                      which effect the pedal runs, and its firmware version\n"
        "  state                      the settings of the pedal's effect: levels, pedal\n"
        "                             controls, reverse flags, limits\n"
        "  set ROW LEVEL              set a row of the pedal's effect: a pot to 0..1023, a\n"
        "                             switch to on/off (or its caption), a list to an option\n"
        "                             (its name or its number from 1)\n"
        "  limit ROW min|max [LEVEL]  a pot row's limit at LEVEL 0..1023 (default: its level)\n"
        "  limit ROW clear            both limits of a pot row cleared\n"
        "  assign ROW CONTROL         drive a row by a pedal control: I, EXP, II, III, SWT, SWR,\n"
        "    [--reverse|--no-reverse]   SW, or NA for none; with its reverse flag\n"
        "  store                      store the settings on the pedal\n"
        "  config save [FILE]         the pedal's settings of its effect into FILE (default:\n"
        "                             ~/Documents/ZANTH/Tovel/<Effect>.txt)\n"
        "  config load [FILE]         a configuration file onto the pedal's effect\n"
        "    [--apply-mismatched]       also a file saved for another layout, line by line\n"
        "  flash Firmware_4|Firmware_5|FILE\n"
        "    [--no-backup] [--fast]   upgrade the firmware (the pedal in its bootloader); the\n"
        "                             flash is first read into ~/Documents/ZANTH/Tovel/\n"
        "  backup FILE [--fast]       read the whole flash into FILE (the pedal in its bootloader)\n"
        "  version                    this program's version and the one the maker announces\n"
        "\n"
        "ROW is a row's number, from 1 as `tovel state` shows it, or its name.\n"
        "\n"
        "Options:\n"
        "  --device PATH     the pedal's serial port (/dev/ttyUSB0, a pseudo-terminal)\n"
        "  --virtual-pedal   a virtual pedal, new for each run: it runs no effect, so only\n"
        "                    upload, flash and backup (in its bootloader) have work to do\n"
        "  --console         the diagnostic console's trace lines on standard error\n"
        "  --json            list, info, query and state as JSON on standard output\n"
        "  -h, --help        this text\n"
        "  -v, --version     the program's version\n"
        "\n"
        "Nothing ever waits for an answer from a person. Progress is shown on standard error\n"
        "when it is a terminal.\n"
        "\n"
        "Exit status:\n"
        "  0  done\n"
        "  1  usage: a command, option or value not understood, or a row, level or effect\n"
        "     that does not exist\n"
        "  2  no pedal, or the link to it was lost\n"
        "  3  the pedal did not answer, or answered badly\n"
        "  4  a file was refused, or could not be written\n"
        "  5  the firmware upgrade stopped\n"
        "  6  the maker's web site did not tell its version\n");
}

} // namespace tovel

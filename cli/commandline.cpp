#include "cli/commandline.h"

#include "cli/suggestion.h"
#include "core/actionfailure.h"

#include <QRegularExpression>
#include <array>

namespace tovel {

namespace {

// The options a command takes beyond the global ones.
enum Option : unsigned {
    Global = 0,
    File = 2,
    Ir = 4,
    Normalise = 8,
    NoBackup = 16,
    Fast = 32,
    ApplyMismatched = 64,
    Reverse = 128,
};

struct OptionRule {
    const char *name;  // without the dashes
    char shortName;    // 0: none
    const char *value; // the value's name; null: the option takes none
    unsigned flag;     // Global: every command takes it
    const char *help;
};

constexpr std::array<OptionRule, 15> kOptions = {{
    {"device", 0, "PATH", Global, "the pedal's serial port (/dev/ttyUSB0, a pseudo-terminal)"},
    {"virtual-pedal", 0, nullptr, Global,
     "a virtual pedal, new for each run: it runs no effect, so only upload, flash and backup (in its "
     "bootloader) have work to do"},
    {"console", 0, nullptr, Global, "the diagnostic console's trace lines on standard error"},
    {"json", 0, nullptr, Global,
     "the result as one JSON object on standard output; a failure as {\"error\": {\"code\": N, "
     "\"message\": TEXT}} there too"},
    {"quiet", 'q', nullptr, Global, "nothing on standard output and no progress: only the exit status and failures"},
    {"help", 'h', nullptr, Global, "this text, or with a command its own help"},
    {"version", 'v', nullptr, Global, "the program's version"},
    {"file", 0, "FILE", File, "a program from a text file of hex digits instead of the catalogue's"},
    {"ir", 0, "WAV", Ir, "the impulse response of WAV in an IR loader's program"},
    {"normalise", 0, nullptr, Normalise, "with --ir: the block scaled so that its peak is just below full scale"},
    {"no-backup", 0, nullptr, NoBackup, "no backup of the flash before it is erased"},
    {"fast", 0, nullptr, Fast, "frames in one piece, without the pauses"},
    {"apply-mismatched", 0, nullptr, ApplyMismatched,
     "also a file saved for another layout, line by line as far as the rows go"},
    {"reverse", 0, nullptr, Reverse, "the row runs backwards on its control"},
    {"no-reverse", 0, nullptr, Reverse, "the row runs forwards on its control"},
}};

struct CommandRule {
    const char *name;
    int minWords;
    int maxWords;
    unsigned options;
    bool pedal;      // connects to the pedal
    bool bootloader; // ... to the controller's bootloader
    const char *synopsis; // one line for each form, without "tovel"
    const char *summary;  // what the global help says of it
    const char *details;  // more, for its own help; may be empty
    const char *example;  // command lines, one a line
};

constexpr std::array<CommandRule, 14> kCommands = {{
    {"list", 0, 1, Global, false, false, "list [CATEGORY]", "the effects of the catalogue, or of one category",
     "The categories: Gain, Modulation, Synthesis, Filter, Dynamic, Impulse Response, Other (without regard "
     "to case). With one category the effects come one a line, for a script to read.",
     "tovel list Gain\ntovel list \"Impulse Response\" --json"},
    {"info", 1, 1, Global, false, false, "info NAME", "an effect's category, rows and information page",
     "NAME is an effect's name as tovel list shows it, without regard to case.", "tovel info \"Amber Drive\""},
    {"upload", 0, 1, File | Ir | Normalise, true, false,
     "upload NAME [--ir WAV [--normalise]]\nupload --file FILE", "send an effect to the pedal",
     "NAME is an effect of the catalogue; --ir puts the start of a WAV file into the program of an "
     "Impulse Response effect first. --file sends a program from a text file of hex digits instead.",
     "tovel upload \"Amber Drive\"\ntovel upload \"Basic IR Loader\" --ir room.wav --normalise"},
    {"query", 0, 0, Global, true, false, "query", "which effect the pedal runs, and its firmware version",
     "A pedal that runs no effect is an answer too: \"effect: none\" (\"effect\": null in JSON).",
     "tovel query --json"},
    {"state", 0, 0, Global, true, false, "state",
     "the settings of the pedal's effect: levels, pedal controls, reverse flags, limits", "",
     "tovel state\ntovel state --json"},
    {"set", 2, 2, Global, true, false, "set ROW LEVEL",
     "set a row of the pedal's effect: a pot to 0..1023, a switch to on/off (or its caption), a list to an "
     "option (its name or its number from 1)",
     "ROW is a row's number, from 1 as tovel state shows it, or its name.", "tovel set Rate 300\ntovel set Mute on"},
    {"limit", 2, 3, Global, true, false, "limit ROW min|max [LEVEL]\nlimit ROW clear",
     "a pot row's limit at LEVEL 0..1023 (default: its level), or both cleared",
     "Limits belong to a pot row that a pedal control drives (tovel assign). A minimum is never above the "
     "maximum.",
     "tovel limit Depth max 800\ntovel limit 1 clear"},
    {"assign", 2, 2, Reverse, true, false, "assign ROW CONTROL [--reverse|--no-reverse]",
     "drive a row by a pedal control: I, EXP, II, III, SWT, SWR, SW, or NA for none", "",
     "tovel assign Depth EXP --reverse"},
    {"store", 0, 0, Global, true, false, "store", "store the settings on the pedal", "", "tovel store"},
    {"config", 1, 2, ApplyMismatched, true, false,
     "config list\nconfig save [FILE|NAME]\nconfig load [FILE|NAME] [--apply-mismatched]",
     "the saved sounds of the pedal's effect; its settings into FILE, or a configuration file onto them",
     "Without FILE: ~/Documents/ZANTH/Tovel/<Effect>.txt. A NAME (a word without \"/\" or \".\") is the saved "
     "sound NAME.txt in that folder, as the editor's list of saved sounds shows it; list shows them with "
     "their dates, and marks those of another layout. A file is written only as a regular file or a new "
     "name in a folder that exists. A load checks the whole file before it sends anything: a file that "
     "does not fit sends nothing.",
     "tovel config list\ntovel config save song-1\ntovel config load ~/gig/song-1.txt"},
    {"flash", 1, 1, NoBackup | Fast, true, true, "flash Firmware_4|Firmware_5|FILE [--no-backup] [--fast]",
     "upgrade the firmware (the pedal in its bootloader)",
     "The flash is first read into ~/Documents/ZANTH/Tovel/firmware-backup-<date>-<time>.bin unless "
     "--no-backup is given. FILE is a whole-flash backup or a raw image. Once it is written, the pedal is "
     "connected again after its restart and says which firmware it runs.",
     "tovel --device /dev/ttyUSB0 flash Firmware_5"},
    {"backup", 1, 1, Fast, true, true, "backup FILE [--fast]",
     "read the whole flash into FILE (the pedal in its bootloader)",
     "FILE is a regular file or a new name in a folder that exists; nothing is erased.",
     "tovel --device /dev/ttyUSB0 backup flash.bin"},
    {"version", 0, 0, Global, false, false, "version", "this program's version and the one the maker announces",
     "", "tovel version"},
    {"help", 0, 1, Global, false, false, "help [COMMAND]", "this text, or a command's own", "", "tovel help set"},
}};

const CommandRule *ruleOf(const QString &command)
{
    for (const CommandRule &rule : kCommands)
        if (command == QLatin1String(rule.name))
            return &rule;
    return nullptr;
}

QString unknownCommand(const QString &command)
{
    return QStringLiteral("\"%1\" is no command.%2").arg(command, didYouMean(command, CommandLine::commandNames()));
}

const OptionRule *optionNamed(const QString &name)
{
    for (const OptionRule &option : kOptions)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

const OptionRule *optionLetter(QChar letter)
{
    for (const OptionRule &option : kOptions)
        if (option.shortName && letter == QLatin1Char(option.shortName))
            return &option;
    return nullptr;
}

QString optionText(const OptionRule &option)
{
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.value)
        text += QLatin1Char(' ') + QLatin1String(option.value);
    if (option.shortName)
        text = QStringLiteral("-%1, ").arg(QLatin1Char(option.shortName)) + text;
    return text;
}

// `text` broken into lines of at most `width` characters, each after `indent` blanks but the
// first, which goes on after whatever stands before it.
QString wrapped(const QString &text, int indent, int width = 92)
{
    QString out;
    int column = indent;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > width) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent) {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += int(word.size());
    }
    return out;
}

// A line of a two-column list: the name, then its text from column `at`.
QString listLine(const QString &name, const QString &text, int at)
{
    QString line = QStringLiteral("  ") + name;
    if (line.size() >= at)
        line += QLatin1Char('\n') + QString(at, QLatin1Char(' '));
    else
        line += QString(at - line.size(), QLatin1Char(' '));
    return line + wrapped(text, at) + QLatin1Char('\n');
}

QString exitStatusText()
{
    QString text = QStringLiteral("Exit status:\n");
    for (const ExitStatusText &row : kExitStatuses)
        text += QStringLiteral("  %1  ").arg(row.status) + wrapped(QLatin1String(row.meaning), 5) + QLatin1Char('\n');
    return text;
}

bool isNegativeNumber(const QString &word)
{
    static const QRegularExpression number(QStringLiteral("^-[0-9]+$"));
    return number.match(word).hasMatch();
}

QStringList optionNames()
{
    QStringList names;
    for (const OptionRule &option : kOptions)
        names.append(QStringLiteral("--") + QLatin1String(option.name));
    return names;
}

} // namespace

QStringList CommandLine::commandNames()
{
    QStringList names;
    for (const CommandRule &rule : kCommands)
        names.append(QLatin1String(rule.name));
    return names;
}

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
    request = CliRequest();
    // --json is seen first, so that any mistake below is told the way the caller asked.
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        if (argument == QLatin1String("--json"))
            request.json = true;
    }

    QStringList words;
    QList<const OptionRule *> given;
    bool endOfOptions = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (endOfOptions || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")
            || isNegativeNumber(argument)) {
            words.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            endOfOptions = true;
            continue;
        }
        const OptionRule *option = nullptr;
        QString name;
        std::optional<QString> value;
        if (argument.startsWith(QLatin1String("--"))) {
            name = argument.mid(2).section(QLatin1Char('='), 0, 0);
            if (argument.contains(QLatin1Char('=')))
                value = argument.section(QLatin1Char('='), 1);
            option = optionNamed(name);
        } else {
            name = argument.mid(1);
            if (name.size() == 1)
                option = optionLetter(name.front());
        }
        if (!option)
            return QStringLiteral("Unknown option '%1'.%2").arg(name, didYouMean(QStringLiteral("--") + name, optionNames()));
        if (option->value && !value) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("Missing value after '%1'.").arg(argument);
            value = arguments[++i];
        }
        if (!option->value && value)
            return QStringLiteral("--%1 takes no value.").arg(QLatin1String(option->name));
        given.append(option);
        const QString o = QLatin1String(option->name);
        if (o == QLatin1String("help"))
            request.help = true;
        else if (o == QLatin1String("version"))
            request.version = true;
        else if (o == QLatin1String("device"))
            request.device = *value;
        else if (o == QLatin1String("virtual-pedal"))
            request.virtualPedal = true;
        else if (o == QLatin1String("console"))
            request.console = true;
        else if (o == QLatin1String("quiet"))
            request.quiet = true;
        else if (o == QLatin1String("file"))
            request.file = *value;
        else if (o == QLatin1String("ir"))
            request.ir = *value;
        else if (o == QLatin1String("normalise"))
            request.normalise = true;
        else if (o == QLatin1String("no-backup"))
            request.noBackup = true;
        else if (o == QLatin1String("fast"))
            request.fast = true;
        else if (o == QLatin1String("apply-mismatched"))
            request.applyMismatched = true;
        else if (o == QLatin1String("reverse") || o == QLatin1String("no-reverse")) {
            if (request.reverse && *request.reverse != (o == QLatin1String("reverse")))
                return QStringLiteral("--reverse and --no-reverse exclude each other.");
            request.reverse = o == QLatin1String("reverse");
        }
    }
    const auto isGiven = [&given](const char *name) {
        return std::any_of(given.begin(), given.end(),
                           [name](const OptionRule *o) { return qstrcmp(o->name, name) == 0; });
    };
    if (isGiven("device") && request.virtualPedal)
        return QStringLiteral("--device and --virtual-pedal exclude each other.");
    if (isGiven("device") && request.device.isEmpty())
        return QStringLiteral("--device needs the path of the pedal's port.");
    if (request.json && request.quiet)
        return QStringLiteral("--json and --quiet exclude each other.");

    if (!words.isEmpty()) {
        request.command = words.takeFirst();
        request.words = words;
    }
    // "tovel help set" is "tovel set --help".
    if (request.command == QLatin1String("help")) {
        const bool aboutHelp = request.help && request.words.isEmpty(); // tovel help --help
        request.help = true;
        request.command = aboutHelp ? QStringLiteral("help") : request.words.value(0);
        request.words.clear();
        if (words.size() > 1)
            return QStringLiteral("help takes one command, not %1 words.").arg(words.size());
    }
    if (!request.command.isEmpty() && !ruleOf(request.command))
        return unknownCommand(request.command);
    if (request.help || request.version)
        return QString();
    if (request.command.isEmpty())
        return QStringLiteral("No command given.");
    const CommandRule *rule = ruleOf(request.command);

    // An option the command does not take is a mistake worth saying, not one to ignore.
    for (const OptionRule *option : given)
        if (option->flag != Global && !(rule->options & option->flag))
            return QStringLiteral("%1 takes no --%2.").arg(request.command, QLatin1String(option->name));
    if (!rule->pedal && (!request.device.isEmpty() || request.virtualPedal))
        return QStringLiteral("%1 does not talk to the pedal: it takes no --device or --virtual-pedal.")
            .arg(request.command);

    const qsizetype count = request.words.size();
    if (count < rule->minWords || count > rule->maxWords)
        return QStringLiteral("Wrong number of arguments for %1: it takes %2.")
            .arg(request.command, QString::fromLatin1(rule->synopsis).replace(QLatin1Char('\n'), QStringLiteral(" or ")));

    if (request.command == QLatin1String("upload")) {
        if ((count == 1) == isGiven("file"))
            return QStringLiteral("upload takes an effect's name or --file FILE, one of them.");
        if (isGiven("file") && request.file.isEmpty())
            return QStringLiteral("--file needs the path of a program file.");
        if (isGiven("file") && isGiven("ir"))
            return QStringLiteral("--ir goes with an effect's name, not with --file.");
        if (isGiven("ir") && request.ir.isEmpty())
            return QStringLiteral("--ir needs the path of a WAV file.");
        if (request.normalise && !isGiven("ir"))
            return QStringLiteral("--normalise goes with --ir.");
    } else if (request.command == QLatin1String("config")) {
        const QString &verb = request.words.first();
        const QStringList verbs{QStringLiteral("list"), QStringLiteral("save"), QStringLiteral("load")};
        if (!verbs.contains(verb))
            return QStringLiteral("config takes list, save or load, not \"%1\".%2").arg(verb, didYouMean(verb, verbs));
        if (verb == QLatin1String("list") && count == 2)
            return QStringLiteral("config list takes no name.");
        if (request.applyMismatched && verb != QLatin1String("load"))
            return QStringLiteral("--apply-mismatched goes with config load.");
    } else if (request.command == QLatin1String("limit")) {
        const QString &verb = request.words.at(1);
        const QStringList verbs{QStringLiteral("min"), QStringLiteral("max"), QStringLiteral("clear")};
        if (!verbs.contains(verb))
            return QStringLiteral("limit takes min, max or clear, not \"%1\".%2").arg(verb, didYouMean(verb, verbs));
        if (verb == QLatin1String("clear") && count == 3)
            return QStringLiteral("limit ROW clear takes no level.");
    }
    return QString();
}

QString CommandLine::helpText()
{
    QString text = QStringLiteral(
        "Usage: tovel [options] COMMAND [arguments]\n"
        "The ZANTH Tovel effects pedal from the command line: the windowed editor's actions,\n"
        "one command a run. A command that talks to the pedal connects, acts and disconnects.\n"
        "'tovel help COMMAND' (or 'tovel COMMAND --help') tells more of one, with an example.\n"
        "\n"
        "Commands:\n");
    for (const CommandRule &rule : kCommands) {
        const QStringList forms = QString::fromLatin1(rule.synopsis).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i + 1 < forms.size(); ++i)
            text += QStringLiteral("  ") + forms[i] + QLatin1Char('\n');
        text += listLine(forms.last(), QLatin1String(rule.summary), 30);
    }
    text += QStringLiteral("\nROW is a row's number, from 1 as `tovel state` shows it, or its name. Names of effects,\n"
                           "categories, rows and controls are taken without regard to case.\n\nOptions:\n");
    for (const OptionRule &option : kOptions)
        if (option.flag == Global)
            text += listLine(optionText(option), QLatin1String(option.help), 22);
    text += QStringLiteral(
        "\nNothing ever waits for an answer from a person. Progress is shown on standard error\n"
        "when it is a terminal. Every line of a message on standard error starts with \"tovel: \".\n\n");
    return text + exitStatusText();
}

QString CommandLine::helpText(const QString &command)
{
    const CommandRule *rule = ruleOf(command);
    if (!rule)
        return helpText();
    QString text;
    const QStringList forms = QString::fromLatin1(rule->synopsis).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < forms.size(); ++i)
        text += (i == 0 ? QStringLiteral("Usage: ") : QStringLiteral("       ")) + QStringLiteral("tovel [options] ")
                + forms[i] + QLatin1Char('\n');
    QString summary = QLatin1String(rule->summary);
    summary[0] = summary[0].toUpper();
    text += wrapped(summary + QLatin1Char('.'), 0) + QLatin1Char('\n');
    if (*rule->details)
        text += wrapped(QLatin1String(rule->details), 0) + QLatin1Char('\n');
    if (rule->options != Global) {
        text += QStringLiteral("\nOptions of %1:\n").arg(command);
        for (const OptionRule &option : kOptions)
            if (option.flag != Global && (rule->options & option.flag))
                text += listLine(optionText(option), QLatin1String(option.help), 22);
    }
    text += QStringLiteral("\nExample:\n");
    for (const QString &line : QString::fromLatin1(rule->example).split(QLatin1Char('\n')))
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
    const QString global = QStringLiteral("Every command takes the global options (tovel --help): --json, --quiet")
        + (rule->pedal ? QStringLiteral(", --device PATH, --virtual-pedal, --console.") : QStringLiteral("."));
    return text + QLatin1Char('\n') + wrapped(global, 0) + QLatin1Char('\n');
}

} // namespace tovel

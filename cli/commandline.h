#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tovel {

// What one run of `tovel` was asked to do: the command, its words, and the options.
struct CliRequest {
    QString command;   // "list", "upload", ...; empty with --help or --version alone
    QStringList words; // the command's own arguments, in order
    bool help = false; // --help, or the command help: help about `command` when it is set
    bool version = false;

    QString device;     // --device PATH
    bool virtualPedal = false;
    bool console = false;
    bool json = false;
    bool quiet = false;
    QString file;       // upload --file
    QString ir;         // upload --ir
    bool normalise = false;
    bool noBackup = false;
    bool fast = false;
    bool applyMismatched = false;  // config load of a file of another layout
    std::optional<bool> reverse;   // assign --reverse / --no-reverse
};

// The command line of `tovel`: its commands, their words and options, and the help texts.
// Options may stand anywhere among the words; a word that is a negative number ("-1") is a
// word, not an option, and "--" ends the options.
class CommandLine {
public:
    // Reads the arguments (the program's name first). Empty on success, else what is wrong in
    // a sentence; the usage hint is the caller's. `request.json` is set from the arguments
    // also when they are wrong, so that the mistake can be told in JSON.
    static QString parse(const QStringList &arguments, CliRequest &request);

    // Whether the command talks to the pedal (and so connects), and whether to its bootloader.
    static bool needsPedal(const QString &command);
    static bool needsBootloader(const QString &command);

    // `tovel --help`: the commands, the options and the exit statuses.
    static QString helpText();
    // `tovel help COMMAND`, `tovel COMMAND --help`: its words, its options and an example.
    static QString helpText(const QString &command);
    // The commands' names, in the order the help lists them.
    static QStringList commandNames();
};

} // namespace tovel

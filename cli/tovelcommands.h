#pragma once

#include "cli/commandline.h"
#include "core/actionfailure.h"
#include "firmware/firmwareupgrade.h"

#include <QJsonObject>
#include <QTextStream>
#include <functional>
#include <optional>

namespace tovel {

class EditorSession;
class TerminalPrompts;
struct WebSite;

// The commands of `tovel` over one session: each reads its words, runs the actions the
// windows run for the same thing, and writes the result on standard output when the run ends:
// as text (control characters escaped), or with --json as one object. A command that talks to
// the pedal connects first and disconnects after, also when it failed. Failures are said on
// standard error in lines that say what to do, or with --json as the object's "error"; the
// exit status follows their kind.
class TovelCommands {
public:
    TovelCommands(EditorSession &session, TerminalPrompts &prompts, const WebSite &site, QTextStream &out);
    ~TovelCommands();

    // The exit status of the command: 0 done, else ActionFailure::exitStatus().
    int run(const CliRequest &request);

    // A JSON object as tovel writes it, and a failure as one: {"error": {"code", "message"}}.
    static QString json(const QJsonObject &object);
    static QString errorJson(int code, const QString &message);

    // Progress of a firmware upgrade or backup; the caller shows it where a person sees it.
    std::function<void(UpgradeStep step, int value, int maximum)> onProgress;
    // The run has ended: the progress shown, if any, is done before the result is written.
    std::function<void()> onProgressEnd;

private:
    using Failure = std::optional<ActionFailure>;

    Failure connect(bool bootloader);
    Failure runCommand(const CliRequest &request);
    Failure list(const CliRequest &request);
    Failure info(const CliRequest &request);
    Failure upload(const CliRequest &request);
    Failure query(const CliRequest &request);
    Failure state(const CliRequest &request);
    Failure set(const CliRequest &request);
    Failure limit(const CliRequest &request);
    Failure assign(const CliRequest &request);
    Failure store();
    Failure config(const CliRequest &request);
    Failure configList();
    Failure flash(const CliRequest &request);
    Failure backup(const CliRequest &request);
    Failure version();

    // The pedal's effect, its rows open and (with request) filled from its state.
    Failure openPedalEffect(bool request);
    // A row of the open effect by its number from 1 or its name; a failure names the rows.
    std::optional<int> findRow(const QString &word, Failure &failure) const;
    // The effect of the catalogue whose name is `word`, without regard to case; empty if none.
    QString findEffect(const QString &word);
    // The failure in words, with what to do.
    QString failureText(const ActionFailure &failure);
    // Every effect of the catalogue, category by category.
    QStringList allEffects();

    EditorSession &m_session;
    TerminalPrompts &m_prompts;
    const WebSite &m_site;
    QTextStream &m_stdout;
    QString m_text;              // the text result, written when the run ends
    QTextStream m_out{&m_text};
    QJsonObject m_result;        // the JSON result
    bool m_said = false;         // the run has said a failure already (the USB layer's, a loss)
};

} // namespace tovel

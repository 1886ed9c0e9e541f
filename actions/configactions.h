#pragma once

#include "core/actionfailure.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace tovel {

class EditorSession;

// The text shown when neither the Documents folder nor a chosen effect gives a path.
extern const QString kNoDocumentsMessage;

// Why a save cannot start now (no open rows, no link, the pedal runs another effect), or
// nothing; and why a load cannot (no open rows).
std::optional<ActionFailure> configurationSaveRefusal(EditorSession &session);
std::optional<ActionFailure> configurationLoadRefusal(EditorSession &session);

// Asks the pedal for its state, then writes the open effect's settings to `path` (an existing
// file is replaced whole). Refused without open rows, without a link, or when the pedal runs
// another effect than the one whose file it would be. An empty path: the state is asked for,
// then the Documents folder is reported unknown. onRequestSent runs once the state request is on
// its way.
ActionResult<QString> saveConfiguration(EditorSession &session, const QString &path,
                                        const std::function<void()> &onRequestSent = {});

// A configuration file of another layout than the open rows: what each front end asks about.
struct OtherLayout {
    QString fileName;
    int lines = 0;    // the file's
    QString effect;   // the open effect
    int expected = 0; // the lines its rows need
    // "song.txt has 12 lines where the rows of Moss Verb need 14: it was saved for another
    // effect or another layout of this one."
    QString text() const;
};

struct ConfigurationLoad {
    bool loaded = false;   // false: the player chose not to load a file of another layout
    QStringList clamped;   // items outside their range, taken as the nearest value
};
// Reads the file at `path` onto the open effect's rows. The levels that change go to the pedal
// when the rows are in use on the pedal's own effect. A file whose length does not fit the
// layout is loaded only when loadOtherLayout says so.
ActionResult<ConfigurationLoad> loadConfiguration(EditorSession &session, const QString &path,
                                                  const std::function<bool(const OtherLayout &layout)> &loadOtherLayout);

// The message after a load: "FX Configuration File Loaded", and the items taken as the nearest
// value below it.
QString configurationLoadedMessage(const ConfigurationLoad &load);

} // namespace tovel

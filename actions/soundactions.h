#pragma once

#include "config/savedsounds.h"
#include "core/actionfailure.h"

#include <QList>
#include <QString>

namespace tovel {

class EditorSession;

// The saved sounds of the open effect: the configuration files in their folder.
ActionResult<QList<SavedSound>> savedSounds(EditorSession &session);

// Where a sound saved as `name` goes; when a file of that name is there already, the player is
// asked first (a No is a failure without words).
ActionResult<QString> savedSoundTarget(EditorSession &session, const QString &name);

// Renames saved sound `from` to `to`, asked first; a name taken already is refused.
ActionResult<QString> renameSound(EditorSession &session, const QString &from, const QString &to);
// Removes saved sound `name`, asked first.
ActionResult<Done> deleteSound(EditorSession &session, const QString &name);

} // namespace tovel

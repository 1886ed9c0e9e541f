#pragma once

#include "core/seams.h"

namespace tovel {

// The user's folders as the command line finds them: the desktop's Documents folder (where
// the editor keeps configurations and firmware backups), the state folder, and the installed
// data folder (../share/tovel-editor beside bin/) or the executable's own in the build tree.
class TerminalFolders : public Folders {
public:
    QString documents() const override;
    QString documentsProblem() const override;
    QString programFolder() const override;
    QString state() const override;
};

} // namespace tovel

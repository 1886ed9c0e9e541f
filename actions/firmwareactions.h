#pragma once

#include "core/actionfailure.h"
#include "firmware/firmwareimage.h"
#include "firmware/firmwareupgrade.h"

#include <QString>
#include <functional>
#include <optional>

namespace tovel {

class EditorSession;

// An upgrade's options as the player sets them: a backup first or not, Fast transfer or not;
// the backup goes into the configurations' folder of `documents`, named by the time now.
UpgradeOptions upgradeOptions(const QString &documents, bool backup, bool fast);

// What the firmware window's upgrade and `tovel flash` show when it is done.
extern const QString kUpgradeCompleteMessage;

struct FirmwareFlash {
    int chunks = 0;       // chunks of the image
    QString backupPath;   // the backup written first, if any
    std::optional<UpgradeFailure> stopped; // why the run stopped, where it stopped
};
// Writes the chosen image into the controller's flash over the link to its bootloader (backup
// first when asked, erase, chunks, verify, variant record, go). Stand-in images are written
// only to the virtual pedal and to a pseudo-terminal, never to a bridge that may be a real
// pedal. onStarted runs once the run holds the link; progress comes through
// session.firmwareUpgrade().onProgress.
// confirm, when given, is asked once the image has been read and found writable, before
// anything goes to the pedal; false stops there with nothing sent (a failure without message).
ActionResult<FirmwareFlash> flashFirmware(EditorSession &session, const FirmwareChoice &choice,
                                          const UpgradeOptions &options, const std::function<void()> &onStarted = {},
                                          const std::function<bool(const QString &question)> &confirm = {});

// The question before an upgrade: which image, whether a backup is made first (and where), and
// that the pedal must stay plugged in.
QString upgradeQuestion(const FirmwareImage &image, const UpgradeOptions &options);
// What a completed upgrade says: kUpgradeCompleteMessage, then the backup's path on a line of
// its own when one was made.
QString upgradeCompleteText(const FirmwareFlash &flash);

// The whole flash read into the file at `path`; nothing erased or written.
ActionResult<QString> backupFirmware(EditorSession &session, const QString &path, bool fast);

} // namespace tovel

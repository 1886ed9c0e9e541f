#pragma once

#include "core/actionfailure.h"

#include <QString>
#include <functional>
#include <optional>

namespace tovel {

class EditorSession;

// What Upload says when no effect has been chosen.
extern const QString kChooseEffectFirstMessage;
// Why an upload cannot start: no effect chosen. Nothing when it can.
std::optional<ActionFailure> uploadRefusal(const EditorSession &session);

// Upload Selected Effect: the chosen effect's program (or the impulse response prepared for
// it) as one ProgramUpload command; the pedal's status text comes back. onSent runs once the
// program is handed to the driver (the line may still be carrying it). The limits are reset
// after a status came.
ActionResult<QString> uploadSelectedEffect(EditorSession &session, const std::function<void()> &onSent = {});

// Upload File: a program read from a text file of hex digits. Gives what the pedal answered
// in the receive buffer's form (the answer at its start).
ActionResult<QString> uploadProgramFile(EditorSession &session, const QString &path);

} // namespace tovel

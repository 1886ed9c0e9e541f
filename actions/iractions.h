#pragma once

#include "core/actionfailure.h"
#include "ir/irblock.h"

#include <QString>

namespace tovel {

class EditorSession;

// Why the chosen effect takes no impulse response (the message that sends the player to an IR
// loader); empty when it takes one.
QString impulseResponseRefusal(const EditorSession &session);

struct ImpulseResponseImport {
    QString summary; // "Selected file data:" and what was done
    IrBlock block;   // the words spliced in
};
// Load IR: a WAV file's impulse response into the chosen IR loader's program, which the next
// upload of that effect sends. The window stays responsive while a large file is read; one
// import runs at a time.
ActionResult<ImpulseResponseImport> importImpulseResponse(EditorSession &session, const QString &path,
                                                          bool normalise);

} // namespace tovel

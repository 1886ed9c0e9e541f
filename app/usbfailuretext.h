#pragma once

#include <QString>

namespace tovel {

struct UsbFailure;

// The one wording, wherever the windows find no pedal (a Scan, a Connect, the status line).
QString noPedalFoundText();

// What happened and what to do next after a failed USB call, in the windows' words: the
// driver's reason for a failed open where it knows one, else the operation's own line; empty
// where there is none.
QString usbFailureAdvice(const UsbFailure &failure);
// The message box of a failed USB call: the fixed text, and the advice on a second line.
QString usbFailureText(const UsbFailure &failure);
// The failure is an open that found no pedal on the bus.
bool foundNoPedal(const UsbFailure &failure);

} // namespace tovel

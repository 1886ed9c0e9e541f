#pragma once

#include "core/actionfailure.h"

#include <QString>

namespace tovel {

// What the player can do about a failure, in the windows' terms (their menus and buttons);
// empty when the message says it all.
QString windowAdviceText(ActionFailure::Advice advice);

// A failure as a window shows it: its advice closes the first paragraph, what the pedal said
// follows it.
QString windowFailureText(const ActionFailure &failure);

} // namespace tovel

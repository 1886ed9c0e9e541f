#pragma once

#include <QString>

namespace tovel {

class PedalState;

// The main window's line that says what the pedal is doing, in the player's words:
// "Pedal: Glass Chorus v3, firmware 5", "Pedal in its bootloader", "No pedal connected".
QString pedalStateText(const PedalState &state);

} // namespace tovel

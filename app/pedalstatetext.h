#pragma once

#include <QString>
#include <QStringList>

namespace tovel {

class PedalState;

// The main window's line that says what the pedal is doing, in the player's words:
// "Pedal: Glass Chorus v3, firmware 5", "Pedal in its bootloader", "No pedal connected".
QString pedalStateText(const PedalState &state);

// What the codes of the pedal control box stand for, one line each in PedalControlNames order,
// then a line for the box with nothing chosen.
QStringList pedalControlMeanings();

} // namespace tovel

#pragma once

#include "pedal/virtualpedal.h"
#include "usb/ftdriver.h"

#include <QString>
#include <memory>

namespace tovel {

class Clock;

// The FT driver a program reaches its pedal through, chosen by its options: the virtual pedal
// (an FT driver like the others), one serial path (--device), or every FTDI bridge on this
// computer.
struct DriverChoice {
    bool virtualPedal = false;
    pedal::VirtualPedalOptions pedal; // the virtual pedal's, when it is the one
    QString device;                   // one serial path or pseudo-terminal
};

std::unique_ptr<FtDriver> makeDriver(const DriverChoice &choice, const Clock &clock);

} // namespace tovel

#pragma once

#include "usb/ftdriver.h"

#include <QString>
#include <memory>

namespace tovel {

// Every FTDI bridge on this computer: the kernel serial driver serves those it reaches,
// libftdi1 the rest.
std::unique_ptr<FtDriver> makeSystemDriver();

// One serial path (--device PATH) through the kernel serial driver, listed as the only device.
std::unique_ptr<FtDriver> makeSerialPathDriver(const QString &path);

} // namespace tovel

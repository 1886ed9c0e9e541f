#include "usb/drivers/systemdrivers.h"

#include "usb/drivers/compositedriver.h"
#include "usb/drivers/kernelserialdriver.h"
#include "usb/drivers/libftdidriver.h"

#include <vector>

namespace tovel {

std::unique_ptr<FtDriver> makeSystemDriver()
{
    // The kernel driver first: it needs no detaching, leaves the tty to other programs once
    // closed, and needs only the dialout group. It cannot read the bridge's EEPROM, which
    // only the console's identity dump wants.
    std::vector<std::unique_ptr<FtDriver>> drivers;
    drivers.push_back(std::make_unique<KernelSerialDriver>());
    drivers.push_back(std::make_unique<LibFtdiDriver>());
    return std::make_unique<CompositeDriver>(std::move(drivers));
}

std::unique_ptr<FtDriver> makeSerialPathDriver(const QString &path)
{
    return std::make_unique<KernelSerialDriver>(path);
}

} // namespace tovel

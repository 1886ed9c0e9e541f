#include "pedal/driverchoice.h"

#include "pedal/virtualpedaldriver.h"
#include "usb/drivers/systemdrivers.h"

namespace tovel {

std::unique_ptr<FtDriver> makeDriver(const DriverChoice &choice, const Clock &clock)
{
    if (choice.virtualPedal)
        return pedal::makeVirtualPedalDriver(choice.pedal, clock);
    if (!choice.device.isEmpty())
        return makeSerialPathDriver(choice.device);
    return makeSystemDriver();
}

} // namespace tovel

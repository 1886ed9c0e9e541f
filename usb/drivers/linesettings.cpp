#include "usb/drivers/linesettings.h"

namespace tovel {

std::optional<LineSettings> lineSettingsFromD2xx(quint8 wordLength, quint8 stopBits,
                                                 quint8 parity)
{
    if (wordLength != 7 && wordLength != 8)
        return std::nullopt;
    if (stopBits != 0 && stopBits != 2)
        return std::nullopt;
    if (parity > 4)
        return std::nullopt;
    LineSettings s;
    s.dataBits = wordLength;
    s.stopBits = stopBits == 0 ? 1 : 2;
    s.parity = LineSettings::Parity(parity);
    return s;
}

} // namespace tovel

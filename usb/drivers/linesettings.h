#pragma once

#include <QtGlobal>
#include <optional>

namespace tovel {

// A serial line's framing, checked from the D2XX data-characteristics codes.
struct LineSettings {
    enum class Parity { None, Odd, Even, Mark, Space };

    int dataBits = 8; // 7 or 8
    int stopBits = 1; // 1 or 2
    Parity parity = Parity::None;

    bool operator==(const LineSettings &) const = default;
};

// Word length 7 or 8; stop bits 0 = one, 2 = two; parity 0..4 = none, odd, even, mark, space.
// Anything else (including 1.5 stop bits, which no FTDI bridge the editor drives offers)
// has no settings.
std::optional<LineSettings> lineSettingsFromD2xx(quint8 wordLength, quint8 stopBits,
                                                 quint8 parity);

} // namespace tovel

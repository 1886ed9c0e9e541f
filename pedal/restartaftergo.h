#pragma once

namespace tovel::pedal {

// What the pedal's USB bridge does when the bootloader's GO starts the new firmware.
struct RestartAfterGo {
    enum class Bridge {
        Stays,        // the bridge stays on the bus: the new firmware answers on the same port
        Reenumerates, // the bridge leaves the bus and comes back goneMs later, a new device
        NeverBack,    // the bridge leaves the bus and stays away until plugged in again
    };
    Bridge bridge = Bridge::Stays;
    int goneMs = 1000;

    // The bridge leaves this long after the GO's acknowledge has reached the host, as the
    // board restarts: the host reads the acknowledge first.
    static constexpr int kLeaveAfterAckMs = 100;
};

} // namespace tovel::pedal

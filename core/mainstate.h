#pragma once

#include <QList>
#include <QString>

namespace tovel {

// The program-wide state the main window holds for the whole run. One instance, owned by the
// application; every area that reads or writes it gets a reference.
struct MainState {
    QString ListedSerialNumber;  // the device Connect opens: the last one listed
    QString ListedDeviceName;
    bool FirmwareUpgradeMode = false; // talk to the controller's bootloader; answers read in hex
    bool EffectOnPedal = false;       // the selected effect is the one the pedal reported
    QString AppVersion;
    QString LatestVersionText;  // printable text of the version endpoint's last 200 answer
    QString SelectedCategory;   // caption of the category clicked last
    QString SelectedEffectName; // display name of the selected effect
    QString PedalEffectName;    // display name of the effect the pedal reported
    QString IrProgramText;      // hex text of the impulse-response program prepared last
    QString IrProgramEffect;    // the effect IrProgramText was prepared for
    bool LiveMode = false;      // follow the pedal instead of driving it
    int PedalEffectNumber = 0;
    int PedalEffectVersion = 0;
    int FirmwareVersion = 0;
    QList<quint8> ReceivedBytes; // the numbers of the last state answer, one byte each
};

} // namespace tovel

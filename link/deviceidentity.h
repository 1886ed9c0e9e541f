#pragma once

namespace tovel {

class Console;
class D2XXUnit;

// Traces the bridge's EEPROM: a dump of words 0..127, then the manufacturer text (from word 81
// up to the word holding "$"), the device name (to word 103) and the serial number (words
// 105..112). Each word reads as two characters, high byte first. An EEPROM without "$" before
// word 127 gives the dump alone. Read failures are not reported; the word read last stands in.
void ReadDeviceIdentity(D2XXUnit &usb, Console &console);

} // namespace tovel

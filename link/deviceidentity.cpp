#include "link/deviceidentity.h"

#include "core/seams.h"
#include "usb/d2xxunit.h"
#include "usb/ftdriver.h"

namespace tovel {

namespace {

constexpr int kWords = 128;
constexpr int kManufacturerStart = 81;
constexpr int kSearchEnd = 127;
constexpr int kNameEnd = 103;
constexpr int kSerialStart = 105;
constexpr int kSerialEnd = 112;

QString wordChars(D2XXUnit &usb, int word)
{
    usb.ReadFTEepromWord(quint32(word));
    const quint16 w = usb.state.EepromWord;
    QString chars;
    chars.append(QChar(ushort(w >> 8)));
    chars.append(QChar(ushort(w & 0xFF)));
    return chars;
}

} // namespace

void ReadDeviceIdentity(D2XXUnit &usb, Console &console)
{
    // The kernel serial driver reaches no EEPROM: said once, instead of 128 words that would
    // print as whatever the last good read left.
    if (const quint32 status = usb.ReadFTEepromWord(0); status != FT_OK) {
        console.printToConsole(status == FT_EEPROM_NOT_PRESENT
                                   ? QStringLiteral("EEPROM not readable through this driver (the kernel serial "
                                                    "driver reaches no EEPROM): no identity dump")
                                   : QStringLiteral("EEPROM word 0 not read (status %1): no identity dump").arg(status));
        return;
    }
    for (int w = 0; w < kWords; ++w)
        console.printToConsole(QStringLiteral("%1: %2").arg(w).arg(wordChars(usb, w)));

    QString manufacturer;
    int w = kManufacturerStart;
    for (;;) {
        const QString chars = wordChars(usb, w);
        manufacturer += chars;
        ++w;
        if (w == kSearchEnd)
            return;
        if (chars.contains(QLatin1Char('$')))
            break;
    }
    manufacturer.remove(QLatin1Char('$'));
    console.printToConsole(QStringLiteral("Manufacturer Name: ") + manufacturer);
    console.printToConsole(QStringLiteral("Start address in EEPROM of description: %1").arg(w));

    QString name;
    for (int word = w; word <= kNameEnd; ++word)
        name += wordChars(usb, word);
    console.printToConsole(QStringLiteral("Device Name: ") + name);

    QString serial;
    for (int word = kSerialStart; word <= kSerialEnd; ++word)
        serial += wordChars(usb, word);
    console.printToConsole(QStringLiteral("Device Serial Number: ") + serial);
}

} // namespace tovel

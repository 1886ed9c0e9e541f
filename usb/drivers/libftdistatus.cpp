#include "usb/drivers/libftdistatus.h"

namespace tovel {

FtStatus libFtdiStatus(LibFtdiCall call, int rc)
{
    if (rc >= 0)
        return FT_OK;
    switch (call) {
    case LibFtdiCall::FindAll:
        // -3 out of memory; -5 device list, -6 device descriptor failed
        return rc == -3 ? FT_INSUFFICIENT_RESOURCES : FT_IO_ERROR;
    case LibFtdiCall::GetStrings:
        // -1 wrong arguments; -4 unable to open; -7..-9, -11 descriptor reads failed
        if (rc == -1)
            return FT_INVALID_PARAMETER;
        return rc == -4 ? FT_DEVICE_NOT_OPENED : FT_IO_ERROR;
    case LibFtdiCall::SetInterface:
        // -1 unknown interface; -2 no context; -3 the context is already open
        return FT_INVALID_PARAMETER;
    case LibFtdiCall::OpenDevice:
        // -4 unable to open, -5 unable to claim, -11 kernel driver not detached: the device is
        // there but held or forbidden. -3, -6, -7, -9, -10, -12: configuration over USB
        // failed. -8: invalid context.
        switch (rc) {
        case -4:
        case -5:
        case -11:
            return FT_DEVICE_NOT_OPENED;
        case -8:
            return FT_INVALID_HANDLE;
        default:
            return FT_IO_ERROR;
        }
    case LibFtdiCall::Close:
        // -1 releasing the interface failed (typically the device is gone); -3 invalid context
        return rc == -3 ? FT_INVALID_HANDLE : FT_IO_ERROR;
    case LibFtdiCall::SetBaudRate:
        // -1 no divisor reaches the rate; -2 the control transfer failed; -3 no USB device
        return rc == -1 ? FT_INVALID_BAUD_RATE : FT_IO_ERROR;
    case LibFtdiCall::SetLineProperty:
        // -1 the control transfer failed; -2 no USB device
        return FT_IO_ERROR;
    case LibFtdiCall::ReadData:
    case LibFtdiCall::WriteData:
        // a libusb error code, or -666 for no USB device
        return FT_IO_ERROR;
    case LibFtdiCall::PurgeRx:
    case LibFtdiCall::PurgeTx:
        // -1 the purge request failed; -2 no USB device
        return FT_IO_ERROR;
    case LibFtdiCall::ReadEeprom:
        // -1 read failed; -2 no USB device
        return FT_EEPROM_READ_FAILED;
    }
    return FT_OTHER_ERROR;
}

} // namespace tovel

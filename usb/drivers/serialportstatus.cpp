#include "usb/drivers/serialportstatus.h"

namespace tovel {

FtStatus serialPortStatus(SerialPortCall call, QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError)
        return FT_OK;
    if (error == QSerialPort::ResourceError)
        return FT_IO_ERROR;
    switch (call) {
    case SerialPortCall::Open:
        // Permission covers both a port held by another program and one the user may not open.
        return error == QSerialPort::DeviceNotFoundError ? FT_DEVICE_NOT_FOUND
                                                         : FT_DEVICE_NOT_OPENED;
    case SerialPortCall::Configure:
        return error == QSerialPort::UnsupportedOperationError ? FT_INVALID_PARAMETER
                                                               : FT_IO_ERROR;
    case SerialPortCall::Baud:
        return error == QSerialPort::UnsupportedOperationError ? FT_INVALID_BAUD_RATE
                                                               : FT_IO_ERROR;
    case SerialPortCall::Write:
        return error == QSerialPort::TimeoutError ? FT_FAILED_TO_WRITE_DEVICE : FT_IO_ERROR;
    case SerialPortCall::Read:
    case SerialPortCall::Purge:
        return FT_IO_ERROR;
    }
    return FT_OTHER_ERROR;
}

} // namespace tovel

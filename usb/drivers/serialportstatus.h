#pragma once

#include "usb/ftdriver.h"

#include <QSerialPort>

namespace tovel {

// What the kernel serial driver was doing when Qt Serial Port reported an error.
enum class SerialPortCall { Open, Configure, Baud, Read, Write, Purge };

// The D2XX status for a Qt Serial Port error. A port that went away (ResourceError) is
// FT_IO_ERROR whatever the call; NoError is FT_OK.
FtStatus serialPortStatus(SerialPortCall call, QSerialPort::SerialPortError error);

} // namespace tovel

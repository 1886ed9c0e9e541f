#pragma once

#include "usb/ftdriver.h"

namespace tovel {

// The libftdi1 calls the driver makes; each numbers its failures its own way.
enum class LibFtdiCall {
    FindAll,        // ftdi_usb_find_all
    GetStrings,     // ftdi_usb_get_strings
    SetInterface,   // ftdi_set_interface
    OpenDevice,     // ftdi_usb_open_dev
    Close,          // ftdi_usb_close
    SetBaudRate,    // ftdi_set_baudrate
    SetLineProperty,// ftdi_set_line_property
    ReadData,       // ftdi_read_data
    WriteData,      // ftdi_write_data
    PurgeRx,        // ftdi_tciflush
    PurgeTx,        // ftdi_tcoflush
    ReadEeprom,     // ftdi_read_eeprom_location
};

// The D2XX status for a libftdi1 return code; zero and counts (rc >= 0) are FT_OK.
FtStatus libFtdiStatus(LibFtdiCall call, int rc);

} // namespace tovel

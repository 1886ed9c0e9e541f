#include "app/usbfailuretext.h"

#include "usb/d2xxunit.h"

namespace tovel {

namespace {

const char kOpen[] = "Open_USB_Device_By_Serial_Number";

// By operation and status (0: any status); the first row that matches holds.
struct Advice {
    const char *operation;
    quint32 status;
    const char *text;
};
const char kNoPedal[] = "No pedal found: plug it in, then Connection > Scan.";
const char kCheckCable[] = "The pedal may not have got it: check its USB cable, then Connection > Disconnect and Connect.";
const char kListAgain[] = "The USB bridges could not be listed: unplug the pedal, plug it in again, then Connection > Scan.";
const char kAnswerUnread[] = "The pedal's answer could not be read: check its USB cable, then Connection > Disconnect and Connect.";
const char kLinkNotSet[] = "The link was not set up: unplug the pedal, plug it in again, then Connection > Connect.";
const Advice kAdvice[] = {
    {kOpen, FT_DEVICE_NOT_FOUND, kNoPedal},
    {kOpen, 0, "The pedal's USB bridge could not be opened: unplug the pedal, plug it in again, then Connection > Connect."},
    {"GetFTDeviceCount", 0, kListAgain},
    {"GetFTDeviceSerialNo", 0, kListAgain},
    {"GetFTDeviceDescription", 0, kListAgain},
    {"FT_Write", 0, kCheckCable},
    {"FT_Purge RX", 0, kCheckCable},
    {"FT_Purge TX", 0, kCheckCable},
    {"FT_Read", 0, kAnswerUnread},
    {"FT_GetQueueStatus", 0, kAnswerUnread},
    {"FT_SetBaudRate", 0, kLinkNotSet},
    {"FT_SetDataCharacteristics", 0, kLinkNotSet},
    {"FT_Close", 0, "Unplug the pedal and plug it in again before the next Connect."},
};

} // namespace

QString noPedalFoundText()
{
    return QLatin1String(kNoPedal);
}

QString usbFailureAdvice(const UsbFailure &failure)
{
    if (failure.status == 0)
        return QString();
    // The driver's word on why, where it can tell, says more than the status.
    if (const QString help = D2XXUnit::openHelp(failure.problem); !help.isEmpty())
        return help;
    for (const Advice &a : kAdvice)
        if (failure.label == QLatin1String(a.operation) && (a.status == 0 || a.status == failure.status))
            return QLatin1String(a.text);
    return QString();
}

QString usbFailureText(const UsbFailure &failure)
{
    const QString text = D2XXUnit::statusMessage(failure.label, failure.status);
    const QString advice = usbFailureAdvice(failure);
    return text.isEmpty() || advice.isEmpty() ? text : text + QLatin1Char('\n') + advice;
}

bool foundNoPedal(const UsbFailure &failure)
{
    return failure.label == QLatin1String(kOpen) && failure.status == FT_DEVICE_NOT_FOUND
           && failure.problem == OpenProblem::None;
}

} // namespace tovel

// The bootloader's answers as the link reads them from the bridge: any bytes, at any time.

#include "core/clock.h"
#include "core/pacing.h"
#include "firmware/bootloaderlink.h"
#include "fuzz/fuzzcheck.h"
#include "tests/support/scriptedftdriver.h"
#include "tests/support/testseams.h"
#include "usb/d2xxunit.h"

using namespace tovel;
using namespace tovel::bootloader;
using Outcome = BootloaderAnswer::Outcome;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const quint8 choice = fuzz::takeByte(data, size);
    VirtualClock clock;
    VirtualPacing pacing{clock};
    test::RecordingConsole console;
    test::ScriptedFtDriver driver{&clock};
    D2XXUnit usb{driver};
    BootloaderLink link{usb, pacing, clock, console};
    driver.devices.append({"FT1", "Tovel", {}});
    usb.Open_USB_Device_By_Serial_Number(QStringLiteral("FT1"));

    // The bytes arrive in bursts: each burst is a length byte, a delay byte (ms) and its bytes.
    qint64 at = 0;
    QByteArray all;
    while (size >= 2) {
        const int length = fuzz::takeByte(data, size) % 8 + 1;
        at += qint64(fuzz::takeByte(data, size)) * 20'000;
        const int n = int(std::min<size_t>(length, size));
        const QByteArray burst = fuzz::bytesOf(data, size_t(n));
        data += n;
        size -= size_t(n);
        driver.queueAnswer(burst, at);
        all += burst;
    }

    link.setFast(choice & 1);
    const Frame frames[] = {Frame::WriteCommand, Frame::EraseCommand, Frame::GlobalErase, Frame::GoAddress,
                            Frame::DataChecksum, Frame::ReadCommand};
    const Frame frame = frames[(choice >> 1) % std::size(frames)];
    const bool read = choice & 0x80;
    const BootloaderAnswer answer = link.ReadBootloaderAnswer(frame, read);
    FUZZ_CHECK(all.startsWith(answer.received));

    // Busy bytes never decide; the first other byte does.
    qsizetype first = 0;
    while (first < answer.received.size() && quint8(answer.received[first]) == kBusy)
        ++first;
    switch (answer.outcome) {
    case Outcome::Ack:
        FUZZ_CHECK(first < answer.received.size() && quint8(answer.received[first]) == kAck);
        break;
    case Outcome::Nack:
        FUZZ_CHECK(first < answer.received.size() && quint8(answer.received[first]) == kNack);
        break;
    case Outcome::Unexpected:
        FUZZ_CHECK(first < answer.received.size());
        break;
    case Outcome::NoAnswer:
        FUZZ_CHECK(first == answer.received.size());
        break;
    case Outcome::LinkLost:
    case Outcome::Cancelled:
        FUZZ_CHECK(false); // the bridge stays and nobody cancels here
        break;
    }
    if (answer.ok() && read) {
        QByteArray block;
        const int count = int(choice % 16) + 1;
        const BootloaderAnswer more = link.readData(count, std::chrono::milliseconds(1000), block);
        FUZZ_CHECK(block.size() <= count);
        if (more.ok())
            FUZZ_CHECK(block.size() == count);
    }
    return 0;
}

#pragma once

#include "protocol/commands.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <chrono>

namespace tovel {

// The controller's USART bootloader: every step is answered by one byte, ACK 0x79 or NACK
// 0x1F; 0x76 means busy, keep waiting. After a NACK the bootloader is back in its command
// loop. Addresses are big-endian.
namespace bootloader {

constexpr quint8 kAck = 0x79;
constexpr quint8 kNack = 0x1F;
constexpr quint8 kBusy = 0x76;
constexpr quint8 kSync = quint8(CommandCode::BootloaderSync);

constexpr quint32 kFlashBase = 0x08000000;
constexpr quint32 kFlashSize = 128 * 1024;
constexpr quint32 kRamBase = 0x20000000;
constexpr quint32 kRamSize = 20 * 1024;
// The 8-byte variant record: byte 0 is the variant (4 or 5), 1..7 are zero. It sits in the
// last 1 KB page, which no image of the editor's own reaches.
constexpr quint32 kVariantRecordAddress = 0x0801FC00;
constexpr quint32 kBlockSize = 256; // bytes a write or read moves at most

enum class Command : quint8 {
    ReadMemory = 0x11,
    Go = 0x21,
    WriteMemory = 0x31,
    Erase = 0x43,
};

// How each kind of frame goes on the wire and how long its answer may take. Paced (the
// default): one byte a write, with sleeps around the command, address and count bytes; the
// data bytes of a chunk follow each other without a pause. Fast transfer writes every frame in
// one piece with no sleeps; the answers are awaited the same.
enum class Frame {
    WriteCommand, WriteAddress,
    EraseCommand, GlobalErase,
    DataCount, DataBytes, DataChecksum, // a chunk's data frame, sent in three parts when paced
    Marker,
    GoCommand, GoAddress,
    ReadCommand, ReadAddress, ReadCount, // not paced: one write each
    Resync,
};

struct FrameInfo {
    Frame frame;
    int sleepBeforeEachByteMs;
    int sleepAfterEachByteMs;
    int sleepAfterFrameMs;
    bool oneWrite;                      // the whole frame in one write even when paced
    std::chrono::milliseconds answerTimeout; // 0: no answer follows this part
};

const FrameInfo &frameInfo(Frame frame);

// The controller answers within a few milliseconds; the rest is room for a computer busy
// enough to leave the editor (or the line's other end) unscheduled for a second or two, which
// a shorter limit would take for a dead bootloader in the middle of an upgrade.
constexpr std::chrono::milliseconds kAnswerTimeout{5000};
// A bootloader waiting for its sync byte acknowledges it at once: the greeting is not waited for
// as long, and neither is the sync byte of a resync whose filler nothing answered (no
// bootloader in its command loop, nor in a frame, is on that line).
constexpr std::chrono::milliseconds kGreetingTimeout{1000};
// A global erase of 128 KB takes the controller up to tens of seconds.
constexpr std::chrono::milliseconds kEraseTimeout{35000};

// The command byte and its complement.
QByteArray commandFrame(Command command);
// Four address bytes, most significant first, then their XOR.
QByteArray addressFrame(quint32 address);
// N (data bytes - 1), the 1..256 data bytes, then N XOR every data byte.
QByteArray dataFrame(const QByteArray &data);
// Flash is programmed in half-words and the bootloader takes a write only in whole 32-bit
// words: the bytes filled up with 0xFF, as erased flash reads, to a multiple of 4.
QByteArray wordAligned(const QByteArray &data);
// Erase everything: FF and its checksum 00.
QByteArray globalEraseFrame();
// Read count: N (bytes - 1) and its complement.
QByteArray readCountFrame(int bytes);
// The variant record as a data frame: 07, variant, seven 00, 07 XOR variant.
QByteArray markerFrame(int variant);
quint8 xorOf(const QByteArray &bytes);

// "0x08003200"
QString addressText(quint32 address);
// "79 1F", or "nothing" for no bytes.
QString bytesText(const QByteArray &bytes);
// "1 byte", "260 bytes".
QString byteCount(qint64 count);

} // namespace bootloader
} // namespace tovel

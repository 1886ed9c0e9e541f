#pragma once

#include "firmware/bootloaderprotocol.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <QStringList>
#include <QtGlobal>
#include <vector>

namespace tovel {

class Console;

// An image for the controller's flash, written from its start.
struct FirmwareImage {
    enum class Kind {
        BuiltIn,    // one the editor carries; the variant record follows it
        WholeFlash, // a backup of all 128 KB, its own variant record page included
        Raw,        // an image from a file, written without a variant record
    };

    QString name; // "Firmware_5", or the file's path
    QByteArray bytes;
    Kind kind = Kind::BuiltIn;
    int variant = 0; // the variant record written after the image; 0: none

    // The chunk buffer holds the whole flash.
    static constexpr int kMaxSize = int(bootloader::kFlashSize);
    // An image without a whole-flash backup's size must stay below the variant record page.
    static constexpr int kMaxRawSize = int(bootloader::kVariantRecordAddress - bootloader::kFlashBase);
};

// Images made for trying the editor carry this text; they are never written to a real bridge.
constexpr char kStandInMarker[] = "TOVEL-EDITOR STAND-IN FIRMWARE";
bool isStandIn(const QByteArray &bytes);

// What makes the image unfit for the controller, in a sentence; empty when it is fit: its
// size, an initial stack pointer outside RAM, a reset handler outside the image or without
// its Thumb bit.
QString checkImage(const FirmwareImage &image);

// A built-in image by its resource name, without regard to case ("Firmware_5" finds
// FIRMWARE_5). False when there is none.
bool loadBuiltInImage(const QString &name, QByteArray &bytes);
// The built-in images' resource names, sorted.
QStringList builtInImageNames();

// An image read from a file: a whole-flash backup by its size, else a raw image.
FirmwareImage imageFromFile(const QString &path, const QByteArray &bytes);

// What the user chose in the firmware window.
struct FirmwareChoice {
    QString SelectedFirmwareName; // "Firmware_4", "Firmware_5", "From file..."; empty: none
    int SelectedFirmwareVariant = 0;
    QString file; // From file...: the path
};
// A built-in image chosen by its name, whatever its case ("firmware_5"): named as the firmware
// window lists it, its variant the name's last digit. Nothing when no built-in image has it.
std::optional<FirmwareChoice> builtInChoice(const QString &name);

// Reads the chosen image whole (the built-in resource, or the file), traces "num of bytes
// read: " with its size and checks it. Empty problem text on success; else what is wrong.
QString LoadFirmwareImage(const FirmwareChoice &choice, Console &console, FirmwareImage &image);

// The image cut into chunks as the writing goes: ChunkCount chunks of 256 bytes, the last one
// shorter when the size is no multiple of 256. Chunk k holds bytes 256k.. and is written at
// 0x08000000 + 256k.
struct SplitImageResult {
    static constexpr int kSlotSize = int(bootloader::kBlockSize);
    static constexpr int kSlots = int(bootloader::kFlashSize / bootloader::kBlockSize);

    quint16 ChunkCount = 0;
    quint16 LastChunkSize = 0; // size mod 256
    std::vector<quint8> chunkBuffer = std::vector<quint8>(kSlots * kSlotSize, 0);

    // 256, or what is left for the last chunk; 0 past the last.
    int chunkLength(int k) const;
    QByteArray chunk(int k) const;
    static quint32 chunkAddress(int k);
};

// Cuts the image (at most 131,072 bytes) into chunks, tracing the counts to the console.
SplitImageResult SplitImage(const QByteArray &image, Console &console);

} // namespace tovel

#include "firmware/firmwareupgrade.h"

#include "core/safefile.h"
#include "core/seams.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace tovel {

using namespace bootloader;
using Outcome = BootloaderAnswer::Outcome;
using Cause = UpgradeFailure::Cause;

QString UpgradeFailure::stepText() const
{
    switch (step) {
    case UpgradeStep::Resync:
        return QStringLiteral("bringing the bootloader back in step");
    case UpgradeStep::Backup:
        return cause == Cause::BackupFile
            ? QStringLiteral("the backup of the current firmware")
            : QStringLiteral("the backup of the current firmware (reading %1)").arg(addressText(address));
    case UpgradeStep::Erase:
        return QStringLiteral("the erase");
    case UpgradeStep::Chunk:
        return QStringLiteral("chunk %1 of %2 at %3").arg(chunk + 1).arg(chunkCount).arg(addressText(address));
    case UpgradeStep::Verify:
        return QStringLiteral("the verify");
    case UpgradeStep::Marker:
        return QStringLiteral("the variant record at %1").arg(addressText(kVariantRecordAddress));
    case UpgradeStep::Go:
        return QStringLiteral("the go command");
    }
    return QString();
}

QString UpgradeFailure::message() const
{
    QString why;
    switch (cause) {
    case Cause::Nack:
        why = QStringLiteral("the bootloader did not acknowledge (NACK)");
        break;
    case Cause::Unexpected:
        why = QStringLiteral("the bootloader answered with an unexpected byte");
        break;
    case Cause::NoAnswer:
        why = QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000.0);
        break;
    case Cause::LinkLost:
        why = QStringLiteral("the link to the pedal was lost");
        break;
    case Cause::Cancelled:
        why = QStringLiteral("stopped by the user");
        break;
    case Cause::Mismatch:
        why = QStringLiteral("the flash read back differs from the image: %1 %2")
                  .arg(addressText(address), detail);
        break;
    case Cause::BackupFile:
        why = detail;
        break;
    case Cause::OutOfStep:
        why = QStringLiteral("the bootloader does not answer as it should");
        break;
    }
    QString text = QStringLiteral("Firmware upgrade stopped at %1: %2").arg(stepText(), why);
    if (cause != Cause::Mismatch && cause != Cause::BackupFile && cause != Cause::Cancelled)
        text += QStringLiteral(" (received: %1)").arg(bytesText(received));
    text += QStringLiteral(".\n\n");
    if (flashUntouched() && erasedEarlier)
        text += QStringLiteral("Nothing has been erased in this run, but an earlier run erased the flash and "
                               "did not finish: the pedal holds no complete firmware and stays in its "
                               "bootloader. ");
    else if (flashUntouched())
        text += QStringLiteral("Nothing has been erased in this run; the pedal stays in its bootloader. ");
    else if (step == UpgradeStep::Erase)
        text += QStringLiteral("The flash may be erased in part and no firmware was started; the pedal "
                               "stays in its bootloader. ");
    else if (step == UpgradeStep::Go)
        text += QStringLiteral("The new firmware is written and verified, but its start was not confirmed. ");
    else
        text += QStringLiteral("The pedal's flash has been erased and is incomplete, and no firmware was "
                               "started; the pedal stays in its bootloader. ");
    return text.trimmed();
}

ActionFailure::Advice UpgradeFailure::advice() const
{
    using Advice = ActionFailure::Advice;
    if (cause == Cause::LinkLost)
        return Advice::ReconnectBootloader;
    // A bootloader that has hung answers again only after a reset.
    if (cause == Cause::NoAnswer || cause == Cause::OutOfStep)
        return Advice::ResetBootloader;
    return Advice::TryAgain;
}

QString FirmwareUpgrade::backupFileName(const QString &folder, const QDateTime &time)
{
    const QString stem = folder + QLatin1Char('/') + QStringLiteral("firmware-backup-")
                         + time.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".bin");
    // Two runs within a second must not overwrite the first backup: it may be the only one
    // taken before the flash was erased.
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + QStringLiteral("-%1.bin").arg(n);
    return path;
}

void FirmwareUpgrade::progress(UpgradeStep step, int value, int maximum)
{
    if (onProgress)
        onProgress(step, value, maximum);
}

FirmwareUpgrade::Failure FirmwareUpgrade::fail(UpgradeStep step, const BootloaderAnswer &answer, Frame frame)
{
    UpgradeFailure f;
    f.step = step;
    switch (answer.outcome) {
    case Outcome::Ack: // an acknowledge that came without the data it promised
    case Outcome::NoAnswer:
        f.cause = Cause::NoAnswer;
        break;
    case Outcome::Nack:
        f.cause = Cause::Nack;
        break;
    case Outcome::Unexpected:
        f.cause = Cause::Unexpected;
        break;
    case Outcome::LinkLost:
        f.cause = Cause::LinkLost;
        break;
    case Outcome::Cancelled:
        f.cause = Cause::Cancelled;
        break;
    }
    f.received = answer.received;
    f.timeoutMs = int(frameInfo(frame).answerTimeout.count());
    f.chunk = m_chunk;
    f.chunkCount = m_chunkCount;
    f.address = m_address;
    if (f.cause == Cause::NoAnswer)
        m_link.console().appendConsoleLine(QStringLiteral("no answer within %1 ms").arg(f.timeoutMs));
    return f;
}

FirmwareUpgrade::Failure FirmwareUpgrade::exchange(UpgradeStep step, const QByteArray &bytes, Frame frame,
                                                   bool dataFollows)
{
    // A stop asked for while the last answer was awaited takes effect before the next frame.
    if (m_link.cancelRequested())
        return fail(step, {Outcome::Cancelled, {}}, frame);
    if (!m_link.send(bytes, frame))
        return fail(step, {Outcome::LinkLost, {}}, frame);
    const BootloaderAnswer answer = m_link.ReadBootloaderAnswer(frame, dataFollows);
    if (!answer.ok())
        return fail(step, answer, frame);
    return std::nullopt;
}

FirmwareUpgrade::Failure FirmwareUpgrade::resync()
{
    // The last run stopped somewhere inside a frame.
    const BootloaderAnswer answer = m_link.resync();
    if (answer.outcome == Outcome::Ack || answer.outcome == Outcome::Nack)
        return std::nullopt;
    Failure f = fail(UpgradeStep::Resync, answer, Frame::Resync);
    if (f->cause == Cause::NoAnswer || f->cause == Cause::Unexpected)
        f->cause = Cause::OutOfStep;
    return f;
}

FirmwareUpgrade::Failure FirmwareUpgrade::SendWriteCommand(UpgradeStep step, quint32 address)
{
    Console &console = m_link.console();
    m_address = address;
    console.printToConsole(QStringLiteral("SEND WRITE COMMAND"));
    if (!m_link.startCommand())
        return fail(step, {Outcome::LinkLost, {}}, Frame::WriteCommand);
    if (Failure f = exchange(step, commandFrame(Command::WriteMemory), Frame::WriteCommand))
        return f;
    console.printToConsole(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    const QByteArray frame = addressFrame(address);
    console.printToConsole(QStringLiteral("Address: ") + hexField(address, 8));
    console.printToConsole(QStringLiteral("address checksum: ") + hexField(quint8(frame.back()), 2));
    return exchange(step, frame, Frame::WriteAddress);
}

FirmwareUpgrade::Failure FirmwareUpgrade::SendEraseCommand()
{
    m_link.console().appendConsoleLine(QStringLiteral("Start Erase Command"));
    progress(UpgradeStep::Erase, 0, 0);
    if (!m_link.startCommand())
        return fail(UpgradeStep::Erase, {Outcome::LinkLost, {}}, Frame::EraseCommand);
    if (Failure f = exchange(UpgradeStep::Erase, commandFrame(Command::Erase), Frame::EraseCommand))
        return f;
    // From here on the flash may hold no complete firmware until an image has been verified.
    m_flashIncomplete = true;
    // The answer to the global erase comes when the erase is done.
    return exchange(UpgradeStep::Erase, globalEraseFrame(), Frame::GlobalErase);
}

FirmwareUpgrade::Failure FirmwareUpgrade::readMemory(UpgradeStep step, quint32 address, int count,
                                                     QByteArray &data)
{
    m_address = address;
    m_link.console().printToConsole(QStringLiteral("READ MEMORY %1 %2").arg(hexField(address, 8)).arg(count));
    if (!m_link.startCommand())
        return fail(step, {Outcome::LinkLost, {}}, Frame::ReadCommand);
    if (Failure f = exchange(step, commandFrame(Command::ReadMemory), Frame::ReadCommand))
        return f;
    if (Failure f = exchange(step, addressFrame(address), Frame::ReadAddress))
        return f;
    if (Failure f = exchange(step, readCountFrame(count), Frame::ReadCount, true))
        return f;
    const BootloaderAnswer answer = m_link.readData(count, frameInfo(Frame::ReadCount).answerTimeout, data);
    if (!answer.ok()) {
        Failure f = fail(step, answer, Frame::ReadCount);
        f->address = address;
        return f;
    }
    return std::nullopt;
}

FirmwareUpgrade::Failure FirmwareUpgrade::checkBackupFolder(const UpgradeOptions &options)
{
    // Checked before the flash is read: the read takes about 14 s on the paced line.
    UpgradeFailure f;
    f.step = UpgradeStep::Backup;
    f.cause = Cause::BackupFile;
    // A file named by the player is written where it is named, into a folder that exists; the
    // editor's own folder is made when missing.
    if (!options.backupFile.isEmpty()) {
        if (const QString why = unwritableReason(options.backupFile); !why.isEmpty()) {
            f.detail = QStringLiteral("Error saving file: ") + why;
            return f;
        }
    }
    const QString folder = options.backupFile.isEmpty() ? options.backupFolder
                                                        : QFileInfo(options.backupFile).absolutePath();
    if (folder.isEmpty()) {
        f.detail = QStringLiteral("Error creating folder: there is no Documents folder to keep the backup in");
        return f;
    }
    if (!QDir().mkpath(folder)) {
        f.detail = QStringLiteral("Error creating folder: ") + QDir::toNativeSeparators(folder);
        return f;
    }
    // A file made and removed again tells what permissions alone do not (a read-only file
    // system, a full disk, access lists).
    QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX"));
    if (!probe.open()) {
        f.detail = QStringLiteral("Error saving file: the folder %1 cannot be written to (%2)")
                       .arg(QDir::toNativeSeparators(folder), probe.errorString());
        return f;
    }
    return std::nullopt;
}

FirmwareUpgrade::Failure FirmwareUpgrade::backup(const UpgradeOptions &options)
{
    Console &console = m_link.console();
    console.appendConsoleLine(QStringLiteral("Start Backup"));
    if (Failure f = checkBackupFolder(options))
        return f;
    constexpr int kBlocks = int(kFlashSize / kBlockSize);
    QByteArray flash;
    flash.reserve(int(kFlashSize));
    for (int b = 0; b < kBlocks; ++b) {
        progress(UpgradeStep::Backup, b, kBlocks);
        QByteArray block;
        if (Failure f = readMemory(UpgradeStep::Backup, kFlashBase + quint32(b) * kBlockSize, int(kBlockSize), block))
            return f;
        flash.append(block);
    }
    progress(UpgradeStep::Backup, kBlocks, kBlocks);

    const QString path = options.backupFile.isEmpty() ? backupFileName(options.backupFolder, options.backupTime)
                                                      : options.backupFile;
    if (const QString why = writeFileSafely(path, flash); !why.isEmpty()) {
        UpgradeFailure f;
        f.step = UpgradeStep::Backup;
        f.cause = Cause::BackupFile;
        f.detail = QStringLiteral("Error saving file: ") + why;
        return f;
    }
    m_backupPath = path;
    console.printToConsole(QStringLiteral("backup written: ") + path);
    return std::nullopt;
}

FirmwareUpgrade::Failure FirmwareUpgrade::WriteImageChunks(const SplitImageResult &split)
{
    Console &console = m_link.console();
    console.appendConsoleLine(QStringLiteral("Start Write Command"));
    console.appendConsoleLine(QString());
    m_chunkCount = split.ChunkCount;
    for (int k = 0; k < split.ChunkCount; ++k) {
        m_chunk = k;
        progress(UpgradeStep::Chunk, k, split.ChunkCount);
        const quint32 address = SplitImageResult::chunkAddress(k);
        if (Failure f = SendWriteCommand(UpgradeStep::Chunk, address))
            return f;
        const QByteArray chunk = split.chunk(k);
        const QByteArray data = wordAligned(chunk);
        const QByteArray frame = dataFrame(data);
        console.printToConsole(QStringLiteral("SEND N BYTE + DATA + CHECKSUM"));
        console.printToConsole(QStringLiteral("N_byte: ") + hexField(quint8(frame.front()), 2));
        console.printToConsole(QStringLiteral("chunk size: %1").arg(data.size()));
        if (data.size() != chunk.size())
            console.printToConsole(QStringLiteral("the image's last %1, filled up with FF to whole words")
                                       .arg(byteCount(chunk.size())));
        console.printToConsole(QStringLiteral("data checksum: ") + hexField(quint8(frame.back()), 2));
        bool sent = true;
        if (m_link.fast()) {
            sent = m_link.send(frame, Frame::DataChecksum);
        } else {
            sent = m_link.send(frame.left(1), Frame::DataCount)
                   && m_link.send(frame.mid(1, data.size()), Frame::DataBytes)
                   && m_link.send(frame.right(1), Frame::DataChecksum);
        }
        if (!sent)
            return fail(UpgradeStep::Chunk, {Outcome::LinkLost, {}}, Frame::DataChecksum);
        const BootloaderAnswer answer = m_link.ReadBootloaderAnswer(Frame::DataChecksum);
        if (!answer.ok())
            return fail(UpgradeStep::Chunk, answer, Frame::DataChecksum);
        console.printToConsole(QString());
    }
    m_chunk = -1;
    return std::nullopt;
}

FirmwareUpgrade::Failure FirmwareUpgrade::verify(UpgradeStep step, quint32 address, const QByteArray &expected)
{
    if (step == UpgradeStep::Verify)
        m_link.console().appendConsoleLine(QStringLiteral("Start Verify"));
    const int blocks = int((expected.size() + kBlockSize - 1) / kBlockSize);
    for (int b = 0; b < blocks; ++b) {
        if (step == UpgradeStep::Verify)
            progress(step, b, blocks);
        const int offset = b * int(kBlockSize);
        const QByteArray want = expected.mid(offset, kBlockSize);
        QByteArray got;
        if (Failure f = readMemory(step, address + quint32(offset), int(want.size()), got))
            return f;
        if (got == want)
            continue;
        int i = 0;
        while (i < want.size() && got[i] == want[i])
            ++i;
        UpgradeFailure f;
        f.step = step;
        f.cause = Cause::Mismatch;
        f.address = address + quint32(offset + i);
        f.detail = QStringLiteral("holds %1 where %2 was written")
                       .arg(hexField(quint8(got[i]), 2), hexField(quint8(want[i]), 2));
        m_link.console().printToConsole(QStringLiteral("verify: %1 %2").arg(addressText(f.address), f.detail));
        return f;
    }
    return std::nullopt;
}

FirmwareUpgrade::Failure FirmwareUpgrade::WriteVariantMarker(int variant)
{
    if (Failure f = SendWriteCommand(UpgradeStep::Marker, kVariantRecordAddress))
        return f;
    const QByteArray frame = markerFrame(variant);
    if (Failure f = exchange(UpgradeStep::Marker, frame, Frame::Marker))
        return f;
    return verify(UpgradeStep::Marker, kVariantRecordAddress, frame.mid(1, frame.size() - 2));
}

FirmwareUpgrade::Failure FirmwareUpgrade::SendGoCommand()
{
    Console &console = m_link.console();
    console.printToConsole(QString());
    console.printToConsole(QStringLiteral("SEND GO COMMAND"));
    m_address = kFlashBase;
    if (!m_link.startCommand())
        return fail(UpgradeStep::Go, {Outcome::LinkLost, {}}, Frame::GoCommand);
    if (Failure f = exchange(UpgradeStep::Go, commandFrame(Command::Go), Frame::GoCommand))
        return f;
    const QByteArray frame = addressFrame(kFlashBase);
    console.printToConsole(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    console.printToConsole(QStringLiteral("Address: ") + hexField(kFlashBase, 8));
    console.printToConsole(QStringLiteral("address checksum: ") + hexField(quint8(frame.back()), 2));
    if (m_link.cancelRequested())
        return fail(UpgradeStep::Go, {Outcome::Cancelled, {}}, Frame::GoAddress);
    // Once the address is on the wire the controller may be starting the firmware: the run
    // ends with its answer, whatever the user asks meanwhile.
    if (!m_link.send(frame, Frame::GoAddress))
        return fail(UpgradeStep::Go, {Outcome::LinkLost, {}}, Frame::GoAddress);
    m_link.clearCancel();
    if (onStarting)
        onStarting();
    const BootloaderAnswer answer = m_link.ReadBootloaderAnswer(Frame::GoAddress);
    // The whole address went out, and a board restarting with its controller may take the
    // bridge off the bus before the acknowledge has been read: the firmware is starting. The
    // effect query after the restart tells whether it runs.
    if (answer.outcome == Outcome::LinkLost) {
        console.printToConsole(QStringLiteral("link gone after GO: the pedal restarts"));
        return std::nullopt;
    }
    if (!answer.ok())
        return fail(UpgradeStep::Go, answer, Frame::GoAddress);
    return std::nullopt;
}

std::optional<UpgradeFailure> FirmwareUpgrade::backupOnly(const UpgradeOptions &options)
{
    m_link.clearCancel();
    m_link.setFast(options.fast);
    m_backupPath.clear();
    const quint32 handle = m_link.usb().state.DeviceHandle;
    Failure failure = [&]() -> Failure {
        if (m_needsResync && handle == m_failedHandle)
            if (Failure f = resync())
                return f;
        return backup(options);
    }();
    if (failure) {
        failure->erasedEarlier = m_flashIncomplete;
        m_needsResync = failure->cause != Cause::Nack && failure->cause != Cause::BackupFile;
        m_failedHandle = handle;
    } else {
        m_needsResync = false;
    }
    return failure;
}

std::optional<UpgradeFailure> FirmwareUpgrade::run(const FirmwareImage &image, const SplitImageResult &split,
                                                   const UpgradeOptions &options)
{
    m_link.clearCancel();
    m_link.setFast(options.fast);
    m_backupPath.clear();
    m_chunk = -1;
    m_chunkCount = split.ChunkCount;
    // A new connection since the failure has greeted the bootloader afresh.
    const quint32 handle = m_link.usb().state.DeviceHandle;
    const bool erasedEarlier = m_flashIncomplete;
    Failure failure = [&]() -> Failure {
        if (m_needsResync && handle == m_failedHandle)
            if (Failure f = resync())
                return f;
        if (options.backup)
            if (Failure f = backup(options))
                return f;
        if (Failure f = SendEraseCommand())
            return f;
        if (Failure f = WriteImageChunks(split))
            return f;
        // The read-back covers the filler of the last chunk too.
        if (Failure f = verify(UpgradeStep::Verify, kFlashBase, wordAligned(image.bytes)))
            return f;
        m_flashIncomplete = false;
        if (image.variant != 0)
            if (Failure f = WriteVariantMarker(image.variant))
                return f;
        if (!options.fast)
            m_link.pacing().sleepMs(kPauseBeforeGoMs);
        return SendGoCommand();
    }();
    // A NACK leaves the bootloader in its command loop, a mismatch or a file error after whole
    // exchanges; the other ends may leave it inside a frame.
    if (failure)
        failure->erasedEarlier = erasedEarlier;
    m_needsResync = failure.has_value() && failure->cause != Cause::Nack
                    && failure->cause != Cause::Mismatch && failure->cause != Cause::BackupFile;
    m_failedHandle = handle;
    return failure;
}

} // namespace tovel

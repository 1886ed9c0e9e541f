#pragma once

#include "core/actionfailure.h"
#include "firmware/bootloaderlink.h"
#include "firmware/firmwareimage.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace tovel {

// The named steps of an upgrade, in the order they run.
enum class UpgradeStep {
    Resync, // only after a run that failed: the bootloader back at the start of a command
    Backup, // the whole flash read into a file
    Erase,
    Chunk,  // one chunk of the image
    Verify, // the image read back and compared
    Marker, // the variant record, written and read back
    Go,
};

// Why a run stopped: the step, where in it, and what came back.
struct UpgradeFailure {
    enum class Cause {
        Nack,
        Unexpected,
        NoAnswer,
        LinkLost,
        Cancelled,
        Mismatch,   // the flash read back differs from what was written
        BackupFile, // the backup file could not be written
        OutOfStep,  // the bootloader could not be brought back in step
    };

    UpgradeStep step = UpgradeStep::Erase;
    Cause cause = Cause::NoAnswer;
    int chunk = -1;      // Chunk: the chunk's index, from 0 (its message counts from 1)
    int chunkCount = 0;
    quint32 address = 0; // Chunk, Backup: where; Verify, Marker: the first differing address
    QByteArray received; // the bytes of the answer that failed
    int timeoutMs = 0;   // NoAnswer: how long the wait was
    QString detail;      // Mismatch: the bytes; BackupFile: the error
    // An earlier run erased the flash and none has written a whole image since: the flash is
    // incomplete even where this run stopped before its own erase.
    bool erasedEarlier = false;

    // "chunk 51 of 107 at 0x08003200", "the erase", ...
    QString stepText() const;
    // The message for the user: step, cause, bytes received, and where the pedal stands. What
    // to do next is advice(), which the front end words.
    QString message() const;
    ActionFailure::Advice advice() const;
    // Before the erase the pedal still holds its firmware.
    bool flashUntouched() const { return step == UpgradeStep::Resync || step == UpgradeStep::Backup; }
};

struct UpgradeOptions {
    bool backup = true;       // read the whole flash into a file before erasing
    bool fast = false;        // Fast transfer
    QString backupFolder;     // Documents/ZANTH/Tovel
    QDateTime backupTime;     // names the backup file
    QString backupFile;       // the backup file's own path, in place of a name from the time
};

// The upgrade as a sequence of named steps over a BootloaderLink: backup, erase, chunks,
// verify, variant record, go. Every answer counts: at a NACK, an unexpected byte, no answer in
// time, a lost link or a difference in the read-back the run stops and nothing more is sent;
// the variant record and the go command come only after a verified image. The bootloader is
// left connected, so another run can follow.
class FirmwareUpgrade {
public:
    explicit FirmwareUpgrade(BootloaderLink &link) : m_link(link) {}

    // Progress of the step running: value of maximum (chunks while writing).
    std::function<void(UpgradeStep step, int value, int maximum)> onProgress;
    // The go command's address is on its way: the controller may be starting the firmware,
    // and a board that restarts with it takes its bridge off the bus.
    std::function<void()> onStarting;

    // One run. Nothing when the new firmware was started.
    std::optional<UpgradeFailure> run(const FirmwareImage &image, const SplitImageResult &split,
                                      const UpgradeOptions &options);

    // The backup alone: the whole flash read into the backup file, nothing erased or written.
    // Nothing when the file was written.
    std::optional<UpgradeFailure> backupOnly(const UpgradeOptions &options);

    // The backup file the last run wrote, if any.
    QString backupPath() const { return m_backupPath; }
    // A run failed since the bootloader was last known in step.
    bool needsResync() const { return m_needsResync; }
    // The flash has been erased (or its erase begun) and no whole image written since: the
    // pedal holds no complete firmware.
    bool flashIncomplete() const { return m_flashIncomplete; }

    // The file name of a backup taken at that time in the folder; never one that exists.
    static QString backupFileName(const QString &folder, const QDateTime &time);

    // The pause between the variant record and the go command; Fast transfer leaves it out.
    static constexpr int kPauseBeforeGoMs = 2000;

private:
    using Failure = std::optional<UpgradeFailure>;

    Failure fail(UpgradeStep step, const BootloaderAnswer &answer, bootloader::Frame frame);
    // One command byte pair, or frame, with its answer.
    Failure exchange(UpgradeStep step, const QByteArray &bytes, bootloader::Frame frame,
                     bool dataFollows = false);
    Failure resync();
    Failure SendWriteCommand(UpgradeStep step, quint32 address);
    Failure SendEraseCommand();
    Failure readMemory(UpgradeStep step, quint32 address, int count, QByteArray &data);
    Failure backup(const UpgradeOptions &options);
    Failure checkBackupFolder(const UpgradeOptions &options);
    Failure WriteImageChunks(const SplitImageResult &split);
    Failure verify(UpgradeStep step, quint32 address, const QByteArray &expected);
    Failure WriteVariantMarker(int variant);
    Failure SendGoCommand();
    void progress(UpgradeStep step, int value, int maximum);

    BootloaderLink &m_link;
    QString m_backupPath;
    bool m_needsResync = false;
    bool m_flashIncomplete = false;
    quint32 m_failedHandle = 0;
    // Chunk context for failures inside a chunk.
    int m_chunk = -1;
    int m_chunkCount = 0;
    quint32 m_address = 0;
};

} // namespace tovel

#include "actions/firmwareactions.h"

#include "core/nowidgets.h"

#include "config/configurationfile.h"
#include "core/seams.h"
#include "protocol/commandexchange.h"
#include "protocol/hextext.h"
#include "session/editorsession.h"

#include <QDateTime>
#include <QDir>

namespace tovel {

const QString kUpgradeCompleteMessage = QStringLiteral("Firmware Upgrade Complete, device will now restart");

namespace {
using Kind = ActionFailure::Kind;
}

UpgradeOptions upgradeOptions(const QString &documents, bool backup, bool fast)
{
    UpgradeOptions options;
    options.backup = backup;
    options.fast = fast;
    options.backupFolder = configurationFolder(documents);
    options.backupTime = QDateTime::currentDateTime();
    return options;
}

QString upgradeQuestion(const FirmwareImage &image, const UpgradeOptions &options)
{
    const QString name = image.kind == FirmwareImage::Kind::BuiltIn ? image.name : QDir::toNativeSeparators(image.name);
    QString question = QStringLiteral("Write %1 (%2 bytes) into the pedal's controller?\n\n").arg(name).arg(image.bytes.size());
    if (options.backup) {
        const QString backup = options.backupFile.isEmpty()
            ? FirmwareUpgrade::backupFileName(options.backupFolder, options.backupTime)
            : options.backupFile;
        question += QStringLiteral("The current firmware is backed up first, into\n%1\n\n").arg(QDir::toNativeSeparators(backup));
    } else {
        question += QStringLiteral("No backup is made: the current firmware is erased without a copy.\n\n");
    }
    question += QStringLiteral("Keep the pedal plugged in until the upgrade is complete: a pedal unplugged "
                               "half-way stays in its bootloader until an upgrade runs to its end.");
    return question;
}

QString upgradeCompleteText(const FirmwareFlash &flash)
{
    if (flash.backupPath.isEmpty())
        return kUpgradeCompleteMessage;
    return kUpgradeCompleteMessage + QStringLiteral("\nThe firmware it replaced is kept in\n")
        + QDir::toNativeSeparators(flash.backupPath);
}

ActionResult<FirmwareFlash> flashFirmware(EditorSession &session, const FirmwareChoice &choice,
                                          const UpgradeOptions &options, const std::function<void()> &onStarted,
                                          const std::function<bool(const QString &question)> &confirm)
{
    using R = ActionResult<FirmwareFlash>;
    const QString step = QStringLiteral("firmware upgrade");
    if (choice.SelectedFirmwareName.isEmpty())
        return R::fail(Kind::Invalid, step, QStringLiteral("Choose a firmware image first."));
    FirmwareImage image;
    if (const QString problem = LoadFirmwareImage(choice, session.console(), image); !problem.isEmpty()) {
        const QString name = choice.file.isEmpty() ? choice.SelectedFirmwareName : QDir::toNativeSeparators(choice.file);
        return R::fail(Kind::File, step, QStringLiteral("%1 cannot be written to the pedal.\n\n%2").arg(name, problem));
    }
    D2XXUnit &usb = session.usb;
    if (isStandIn(image.bytes) && usb.driver().isRealBridge(usb.state.DeviceHandle))
        return R::fail(
            Kind::Invalid, step,
            QStringLiteral("%1 is a stand-in image for trying the editor, not the pedal's firmware, "
                           "and this device may be a real pedal: nothing was sent.\n\n"
                           "Stand-in images are written only to the virtual pedal and to a pseudo-terminal. "
                           "Build the editor with the maker's images (see README.md) to upgrade a pedal.")
                .arg(image.name));
    // The run holds the link as one exchange: the main window's commands wait for it, also
    // while the question is open.
    CommandExchange &exchange = session.exchange();
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::Bootloader, step);
    if (started.failure)
        return {started.failure, {}};
    if (confirm && !confirm(upgradeQuestion(image, options)))
        return R::fail(Kind::Refused, step, QString());
    const SplitImageResult split = SplitImage(image.bytes, session.console());
    if (onStarted)
        onStarted();
    FirmwareUpgrade &upgrade = session.firmwareUpgrade();
    R result;
    result.value.chunks = split.ChunkCount;
    result.value.stopped = upgrade.run(image, split, options);
    result.value.backupPath = upgrade.backupPath();
    if (result.value.stopped) {
        // Stopped because the program closes: the question before it said where the pedal stands.
        const bool quitting = exchange.quitting();
        // A backup that could not be written stops the run before anything is erased.
        const bool file = result.value.stopped->cause == UpgradeFailure::Cause::BackupFile;
        result.failure = ActionFailure{quitting ? Kind::Refused : file ? Kind::File : Kind::Upgrade, step,
                                       result.value.stopped->received,
                                       quitting ? QString() : result.value.stopped->message(),
                                       result.value.stopped->advice()};
    }
    return result;
}

ActionResult<QString> backupFirmware(EditorSession &session, const QString &path, bool fast)
{
    using R = ActionResult<QString>;
    const QString step = QStringLiteral("firmware backup");
    const EditorSession::Exchange started = session.beginExchange(PedalNeed::Bootloader, step);
    if (started.failure)
        return {started.failure, {}};
    UpgradeOptions options;
    options.fast = fast;
    options.backupFile = path;
    if (const std::optional<UpgradeFailure> failure = session.firmwareUpgrade().backupOnly(options)) {
        // The file, not the pedal, stopped it: a refused name, a full disk.
        if (failure->cause == UpgradeFailure::Cause::BackupFile)
            return R::fail(Kind::File, step,
                           QStringLiteral("The backup was not written. %1.\n\nNothing has been erased; the pedal "
                                          "stays in its bootloader.")
                               .arg(failure->detail));
        R result = R::fail(Kind::Upgrade, step, failure->message(), failure->received);
        result.failure->advice = failure->advice();
        return result;
    }
    R result;
    result.value = session.firmwareUpgrade().backupPath();
    return result;
}

} // namespace tovel

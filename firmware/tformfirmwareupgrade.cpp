#include "firmware/tformfirmwareupgrade.h"

#include "protocol/commandexchange.h"

#include "core/errorboundary.h"
#include "core/seams.h"
#include "firmware/bootloaderlink.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace tovel {

namespace {

template <typename W>
W *place(W *w, const char *name, int x, int y, int width, int height)
{
    w->setObjectName(QLatin1String(name));
    w->setGeometry(x, y, width, height);
    return w;
}

const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
const QString kFromFile = QStringLiteral("From file...");

} // namespace

TformFirmwareUpgrade::TformFirmwareUpgrade(D2XXUnit &usb, Pacing &pacing, const Clock &clock,
                                           Prompts &prompts, Folders &folders)
    : QWidget(nullptr), m_usb(usb), m_pacing(pacing), m_clock(clock), m_prompts(prompts), m_folders(folders)
{
    setObjectName(QStringLiteral("formFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    cmbFirmwareChoose = place(new QComboBox(this), "cmbFirmwareChoose", 8, 8, 142, 32);
    cmbFirmwareChoose->addItems({QStringLiteral("Firmware_4"), QStringLiteral("Firmware_5"), kFromFile});
    cmbFirmwareChoose->setCurrentIndex(-1);
    cmbFirmwareChoose->setAccessibleName(QStringLiteral("Firmware image"));
    btnUpgradeFirmware = place(new QPushButton(QStringLiteral("Upgrade Firmware"), this), "btnUpgradeFirmware", 8, 48, 142, 33);
    ProgressBar1 = place(new QProgressBar(this), "ProgressBar1", 8, 94, 142, 35);
    ProgressBar1->setOrientation(Qt::Horizontal);
    ProgressBar1->setValue(0);
    chkBackupFirst = place(new QCheckBox(QStringLiteral("Back up the current firmware first"), this),
                           "chkBackupFirst", 8, kClientHeight, 142, 20);
    chkBackupFirst->setChecked(true);
    chkBackupFirst->setToolTip(QStringLiteral("Back up the current firmware first: the whole flash is "
                                              "read into Documents/ZANTH/Tovel before anything is erased."));
    chkFastTransfer = place(new QCheckBox(QStringLiteral("Fast transfer"), this), "chkFastTransfer", 8,
                            kClientHeight + 22, 142, 20);
    chkFastTransfer->setToolTip(QStringLiteral("Each frame in one write, without pauses; every answer is "
                                               "still awaited and checked."));

    // The option texts are wider than the original 158-pixel window: it grows to hold them
    // and the controls above keep their places, stretched to the same width.
    const int width = std::max(kClientWidth, 16 + std::max(chkBackupFirst->sizeHint().width(),
                                                          chkFastTransfer->sizeHint().width()));
    setFixedSize(width, kClientHeight + kOptionsHeight);
    const QList<QWidget *> column{cmbFirmwareChoose, btnUpgradeFirmware, ProgressBar1, chkBackupFirst,
                                  chkFastTransfer};
    for (QWidget *w : column)
        w->resize(width - 16, w->height());
}

TformFirmwareUpgrade::~TformFirmwareUpgrade() = default;

void TformFirmwareUpgrade::attachConsole(Console &console)
{
    m_console = &console;
    m_link = std::make_unique<BootloaderLink>(m_usb, m_pacing, m_clock, console);
    m_upgrade = std::make_unique<FirmwareUpgrade>(*m_link);
    m_upgrade->onProgress = [this](UpgradeStep step, int value, int maximum) { showProgress(step, value, maximum); };
    connectHandler(cmbFirmwareChoose, &QComboBox::activated, this, m_prompts,
                   [this](int index) { FirmwareSelect(index); });
    connectHandler(btnUpgradeFirmware, &QPushButton::clicked, this, m_prompts,
                   [this] { btnUpgradeFirmwareClick(); });
}

void TformFirmwareUpgrade::FirmwareSelect(int index)
{
    if (index == itmFromFile) {
        if (!chooseFile()) {
            const QSignalBlocker block(cmbFirmwareChoose);
            cmbFirmwareChoose->setCurrentIndex(m_choiceIndex);
        }
        return;
    }
    m_choice = FirmwareChoice();
    m_choice.SelectedFirmwareName = cmbFirmwareChoose->itemText(index);
    m_choice.SelectedFirmwareVariant = m_choice.SelectedFirmwareName.right(1).toInt();
    m_choiceIndex = index;
    m_console->printToConsole(m_choice.SelectedFirmwareName);
}

bool TformFirmwareUpgrade::chooseFile()
{
    const QString path = m_prompts.openFile(QStringLiteral("Firmware Images (*.bin)|*.bin|All Files (*)|*"));
    if (path.isEmpty())
        return false;
    FirmwareChoice choice;
    choice.SelectedFirmwareName = kFromFile;
    choice.file = path;
    FirmwareImage image;
    m_console->printToConsole(kFromFile + QLatin1Char(' ') + path);
    const QString problem = LoadFirmwareImage(choice, *m_console, image);
    if (!problem.isEmpty()) {
        m_prompts.showMessage(QStringLiteral("%1 cannot be written to the pedal.\n\n%2").arg(QDir::toNativeSeparators(path), problem));
        return false;
    }
    m_choice = choice;
    m_choiceIndex = itmFromFile;
    return true;
}

UpgradeOptions TformFirmwareUpgrade::options() const
{
    UpgradeOptions o;
    o.backup = chkBackupFirst->isChecked();
    o.fast = chkFastTransfer->isChecked();
    o.backupFolder = m_folders.documents() + QStringLiteral("/ZANTH/Tovel");
    o.backupTime = QDateTime::currentDateTime();
    return o;
}

void TformFirmwareUpgrade::btnUpgradeFirmwareClick()
{
    if (m_running)
        return;
    if (m_choice.SelectedFirmwareName.isEmpty()) {
        m_prompts.showMessage(QStringLiteral("Choose a firmware image first."));
        return;
    }
    FirmwareImage image;
    const QString problem = LoadFirmwareImage(m_choice, *m_console, image);
    if (!problem.isEmpty()) {
        const QString name = m_choice.file.isEmpty() ? m_choice.SelectedFirmwareName
                                                     : QDir::toNativeSeparators(m_choice.file);
        m_prompts.showMessage(QStringLiteral("%1 cannot be written to the pedal.\n\n%2").arg(name, problem));
        return;
    }
    if (isStandIn(image.bytes) && m_usb.driver().isRealBridge(m_usb.state.DeviceHandle)) {
        m_prompts.showMessage(
            QStringLiteral("%1 is a stand-in image for trying the editor, not the pedal's firmware, "
                           "and this device may be a real pedal: nothing was sent.\n\n"
                           "Stand-in images are written only to the virtual pedal and to a pseudo-terminal. "
                           "Build the editor with the maker's images (see README.md) to upgrade a pedal.")
                .arg(image.name));
        return;
    }
    const SplitImageResult split = SplitImage(bytesToHex(image.bytes), *m_console);
    const UpgradeOptions runOptions = options();

    // The run holds the link as one exchange: the main window's commands wait for it.
    auto scope = m_exchange ? m_exchange->begin(QStringLiteral("firmware upgrade"),
                                                 CommandExchange::Listener::Bootloader)
                            : std::optional<CommandExchange::Scope>();
    if (m_exchange && !scope) {
        if (!m_exchange->refusal().isEmpty())
            m_prompts.showMessage(m_exchange->refusal());
        return;
    }
    setRunning(true);
    const std::optional<UpgradeFailure> failure = m_upgrade->run(image, split, runOptions);
    setRunning(false);
    // Stopped because the program closes: the question before it said where the pedal stands.
    if (failure && m_exchange && m_exchange->quitting())
        return;

    if (failure) {
        // The bar as far as the run came, then where it stopped, counted as people count.
        drawProgress();
        static const char *const kSteps[] = {"resync", "backup", "erase", "chunk %1", "verify", "record", "go"};
        QString where = QString::fromLatin1(kSteps[int(failure->step)]);
        if (failure->step == UpgradeStep::Chunk)
            where = where.arg(failure->chunk + 1);
        ProgressBar1->setFormat(QStringLiteral("Stopped: ") + where);
        // A busy bar (the erase has no measure) shows no text and keeps moving.
        if (ProgressBar1->maximum() == 0)
            ProgressBar1->setRange(0, 1);
        m_prompts.showMessage(failure->message());
        return;
    }
    m_progress.reset();
    // Done: the controller runs the new firmware and its bootloader no longer listens.
    btnUpgradeFirmware->setEnabled(false);
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setRange(0, split.ChunkCount);
    ProgressBar1->setValue(split.ChunkCount);
    m_prompts.showMessage(kComplete);
}

void TformFirmwareUpgrade::setRunning(bool running)
{
    m_running = running;
    btnUpgradeFirmware->setEnabled(!running);
    cmbFirmwareChoose->setEnabled(!running);
    chkBackupFirst->setEnabled(!running);
    chkFastTransfer->setEnabled(!running);
}

void TformFirmwareUpgrade::showProgress(UpgradeStep step, int value, int maximum)
{
    // A changed bar repaints at once; drawn from the event loop instead, it is drawn while the
    // next answer is on its way rather than between an answer and the next frame.
    const bool queued = m_progress.has_value();
    m_progress = Progress{step, value, maximum};
    if (!queued)
        QTimer::singleShot(0, this, [this] { drawProgress(); });
}

void TformFirmwareUpgrade::drawProgress()
{
    if (!m_progress)
        return; // the run ended and set its own text
    static const char *const kFormats[] = {"Resync", "Backup %p%", "Erase", "%p%", "Verify %p%", "Record", "Start"};
    ProgressBar1->setFormat(QLatin1String(kFormats[int(m_progress->step)]));
    ProgressBar1->setRange(0, m_progress->maximum);
    ProgressBar1->setValue(m_progress->value);
    m_progress.reset();
}

bool TformFirmwareUpgrade::confirmStop(Closing closing)
{
    // Asked once: a stop already agreed to is on its way.
    if (!m_running || m_link->cancelRequested())
        return true;
    QString question = closing == Closing::Program
        ? QStringLiteral("A firmware upgrade is running. Stop the firmware upgrade and quit the editor?\n\n")
        : QStringLiteral("A firmware upgrade is running. Stop the firmware upgrade and close its window?\n\n");
    const QString again = closing == Closing::Program
        ? QStringLiteral("start the editor again, connect in Upgrade Mode and run the upgrade again.")
        : QStringLiteral("the upgrade can be run again.");
    if (m_upgrade->flashIncomplete())
        question += QStringLiteral("The flash has been erased and holds no complete firmware: the pedal stays "
                                   "in its bootloader until an upgrade runs to its end; ")
                    + again;
    else
        question += QStringLiteral("Nothing has been erased yet: the pedal stays in its bootloader, and ") + again;
    if (m_prompts.askYesNo(question) != Prompts::Answer::Yes)
        return false;
    m_link->requestCancel();
    return true;
}

void TformFirmwareUpgrade::closeEvent(QCloseEvent *event)
{
    if (!confirmStop(Closing::Window)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool TformFirmwareUpgrade::closeForQuit()
{
    return confirmStop(Closing::Program) && close();
}

} // namespace tovel

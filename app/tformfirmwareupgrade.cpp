#include "app/tformfirmwareupgrade.h"
#include "app/failuretext.h"
#include "app/placewidget.h"

#include "actions/firmwareactions.h"
#include "actions/upgradereconnect.h"
#include "session/editorsession.h"

#include "protocol/commandexchange.h"

#include "config/configurationfile.h"
#include "core/errorboundary.h"
#include "core/seams.h"
#include "firmware/bootloaderlink.h"
#include "protocol/hextext.h"
#include "usb/d2xxunit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace tovel {

namespace {

const QString kFromFile = QStringLiteral("From file...");

} // namespace

TformFirmwareUpgrade::TformFirmwareUpgrade(EditorSession &session) : QWidget(nullptr), m_session(session)
{
    setObjectName(QStringLiteral("formFirmwareUpgrade"));
    setWindowTitle(QStringLiteral("Firmware Upgrade"));
    cmbFirmwareChoose = place(new QComboBox(this), "cmbFirmwareChoose", 8, 8, 142, 32);
    cmbFirmwareChoose->addItems({QStringLiteral("Firmware_4"), QStringLiteral("Firmware_5"), kFromFile});
    cmbFirmwareChoose->setCurrentIndex(-1);
    cmbFirmwareChoose->setAccessibleName(QStringLiteral("Firmware image"));
    btnUpgradeFirmware = place(new QPushButton(QStringLiteral("&Upgrade Firmware"), this), "btnUpgradeFirmware", 8, 48, 142, 33);
    ProgressBar1 = place(new QProgressBar(this), "ProgressBar1", 8, 94, 142, 35);
    ProgressBar1->setOrientation(Qt::Horizontal);
    ProgressBar1->setValue(0);
    chkBackupFirst = place(new QCheckBox(QStringLiteral("&Back up the current firmware first"), this),
                           "chkBackupFirst", 8, kClientHeight, 142, 20);
    chkBackupFirst->setChecked(true);
    chkBackupFirst->setToolTip(QStringLiteral("Back up the current firmware first: the whole flash is "
                                              "read into Documents/ZANTH/Tovel before anything is erased."));
    chkFastTransfer = place(new QCheckBox(QStringLiteral("&Fast transfer"), this), "chkFastTransfer", 8,
                            kClientHeight + 22, 142, 20);
    chkFastTransfer->setToolTip(QStringLiteral("Each frame in one write, without pauses; every answer is "
                                               "still awaited and checked."));

    // What each image is, under the options: in its list entry's tooltip too.
    const QStringList descriptions{
        QStringLiteral("Firmware_4: the pedal's firmware, version 4 (24,296 bytes)."),
        QStringLiteral("Firmware_5: the pedal's firmware, version 5 (27,164 bytes)."),
        QStringLiteral("From file...: a firmware image (.bin) of your own, such as a backup made here."),
    };
    for (int i = 0; i < descriptions.size(); ++i)
        cmbFirmwareChoose->setItemData(i, descriptions[i], Qt::ToolTipRole);
    lblFirmwareDescription = place(new QLabel(QStringLiteral("Choose the image to write."), this),
                                   "lblFirmwareDescription", 8, kClientHeight + kOptionsHeight, 142,
                                   kDescriptionHeight);
    lblFirmwareDescription->setWordWrap(true);
    lblFirmwareDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(cmbFirmwareChoose, &QComboBox::currentIndexChanged, this, [this, descriptions](int index) {
        lblFirmwareDescription->setText(index >= 0 && index < descriptions.size() ? descriptions[index]
                                                                                 : QStringLiteral("Choose the image to write."));
    });

    // The option texts are wider than the original 158-pixel window: it grows to hold them
    // and the controls above keep their places, stretched to the same width.
    const int width = std::max(kClientWidth, 16 + std::max(chkBackupFirst->sizeHint().width(),
                                                          chkFastTransfer->sizeHint().width()));
    setFixedSize(width, kClientHeight + kOptionsHeight + kDescriptionHeight + 8);
    const QList<QWidget *> column{cmbFirmwareChoose, btnUpgradeFirmware, ProgressBar1, chkBackupFirst,
                                  chkFastTransfer, lblFirmwareDescription};
    for (QWidget *w : column)
        w->resize(width - 16, w->height());

    // Image and options first, then the button that starts the run.
    setTabOrder(cmbFirmwareChoose, chkBackupFirst);
    setTabOrder(chkBackupFirst, chkFastTransfer);
    setTabOrder(chkFastTransfer, btnUpgradeFirmware);

    m_session.firmwareUpgrade().onProgress = [this](UpgradeStep step, int value, int maximum) {
        showProgress(step, value, maximum);
    };
    connectHandler(cmbFirmwareChoose, &QComboBox::activated, this, m_session.prompts,
                   [this](int index) { FirmwareSelect(index); });
    connectHandler(btnUpgradeFirmware, &QPushButton::clicked, this, m_session.prompts,
                   [this] { btnUpgradeFirmwareClick(); });
}

TformFirmwareUpgrade::~TformFirmwareUpgrade()
{
    m_session.firmwareUpgrade().onProgress = nullptr;
}

FirmwareUpgrade *TformFirmwareUpgrade::upgrade()
{
    return &m_session.firmwareUpgrade();
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
    m_choice = builtInChoice(cmbFirmwareChoose->itemText(index)).value_or(FirmwareChoice{});
    m_choiceIndex = index;
    m_session.console().printToConsole(m_choice.SelectedFirmwareName);
}

bool TformFirmwareUpgrade::chooseFile()
{
    const QString path = m_session.prompts.openFile(QStringLiteral("Firmware Images (*.bin)|*.bin|All Files (*)|*"));
    if (path.isEmpty())
        return false;
    FirmwareChoice choice;
    choice.SelectedFirmwareName = kFromFile;
    choice.file = path;
    FirmwareImage image;
    m_session.console().printToConsole(kFromFile + QLatin1Char(' ') + path);
    const QString problem = LoadFirmwareImage(choice, m_session.console(), image);
    if (!problem.isEmpty()) {
        m_session.prompts.showMessage(QStringLiteral("%1 cannot be written to the pedal.\n\n%2").arg(QDir::toNativeSeparators(path), problem));
        return false;
    }
    m_choice = choice;
    m_choiceIndex = itmFromFile;
    return true;
}

UpgradeOptions TformFirmwareUpgrade::options() const
{
    return upgradeOptions(m_session.folders.documents(), chkBackupFirst->isChecked(), chkFastTransfer->isChecked());
}

void TformFirmwareUpgrade::btnUpgradeFirmwareClick()
{
    if (m_running)
        return;
    // Nothing is sent before the player has said yes to the image, the backup and the rule to
    // keep the pedal plugged in; Enter and Escape answer No.
    const auto confirm = [this](const QString &question) {
        return m_session.prompts.askBeforeIrreversible(question) == Prompts::Answer::Yes;
    };
    UpgradeHooks hooks;
    hooks.onStarted = [this] { setRunning(true); };
    hooks.confirm = confirm;
    bool ran = false;
    QString completeText;
    hooks.onFlashed = [&](const ActionResult<FirmwareFlash> &flash) {
        ran = m_running;
        setRunning(false);
        if (flash)
            showFlashed(flash.value);
        completeText = upgradeCompleteText(flash.value);
    };
    // The completion message comes once the link to the bootloader is closed: the pedal
    // restarts while it is shown, and its bridge may leave the bus meanwhile.
    hooks.restart.onBootloaderClosed = [&] { m_session.prompts.showMessage(completeText); };
    hooks.restart.onProgress = [this](const QString &text) { ProgressBar1->setFormat(text); };
    const ActionResult<FirmwareUpgradeRun> result = upgradeFirmware(m_session, m_choice, options(), hooks);
    if (result.value.flashed)
        showRestart(result);
    else
        showStopped(result.failure, result.value.flash, ran);
}

void TformFirmwareUpgrade::showStopped(const std::optional<ActionFailure> &failure, const FirmwareFlash &flash,
                                       bool ran)
{
    if (failure && !flash.stopped) {
        if (!failure->message.isEmpty())
            m_session.prompts.showMessage(windowFailureText(*failure));
        return;
    }
    if (!ran)
        return;
    // Stopped because the program closes: the question before it said where the pedal stands.
    if (failure && failure->message.isEmpty())
        return;
    if (const std::optional<UpgradeFailure> &stopped = flash.stopped) {
        // The bar as far as the run came, then where it stopped, counted as people count.
        drawProgress();
        static const char *const kSteps[] = {"resync", "backup", "erase", "chunk %1", "verify", "record", "go"};
        QString where = QString::fromLatin1(kSteps[int(stopped->step)]);
        if (stopped->step == UpgradeStep::Chunk)
            where = where.arg(stopped->chunk + 1);
        ProgressBar1->setFormat(QStringLiteral("Stopped: ") + where);
        // A busy bar (the erase has no measure) shows no text and keeps moving.
        if (ProgressBar1->maximum() == 0)
            ProgressBar1->setRange(0, 1);
        m_session.prompts.showMessage(stopped->message() + QLatin1Char(' ') + windowAdviceText(stopped->advice()));
    }
}

void TformFirmwareUpgrade::showFlashed(const FirmwareFlash &flash)
{
    m_progress.reset();
    // Done: the controller runs the new firmware and its bootloader no longer listens.
    btnUpgradeFirmware->setEnabled(false);
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setRange(0, flash.chunks);
    ProgressBar1->setValue(flash.chunks);
}

void TformFirmwareUpgrade::showRestart(const ActionResult<FirmwareUpgradeRun> &run)
{
    if (run.failure) {
        ProgressBar1->setFormat(QStringLiteral("%p%"));
        if (!run.failure->message.isEmpty())
            m_session.prompts.showMessage(windowFailureText(*run.failure));
        return;
    }
    ProgressBar1->setFormat(QStringLiteral("Firmware %1 running").arg(run.value.restart.firmwareVersion));
    m_session.prompts.showMessage(run.value.restart.message);
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
    static const char *const kFormats[] = {"Resync", "Backup %p%", "Erase", "Write %p%", "Verify %p%", "Record", "Start"};
    ProgressBar1->setFormat(QLatin1String(kFormats[int(m_progress->step)]));
    ProgressBar1->setRange(0, m_progress->maximum);
    ProgressBar1->setValue(m_progress->value);
    m_progress.reset();
}

bool TformFirmwareUpgrade::confirmStop(Closing closing)
{
    // Asked once: a stop already agreed to is on its way.
    if (!m_running || m_session.bootloaderLink().cancelRequested())
        return true;
    QString question = closing == Closing::Program
        ? QStringLiteral("A firmware upgrade is running. Stop the firmware upgrade and quit the editor?\n\n")
        : QStringLiteral("A firmware upgrade is running. Stop the firmware upgrade and close its window?\n\n");
    const QString again = closing == Closing::Program
        ? QStringLiteral("start the editor again, connect in Upgrade Mode and run the upgrade again.")
        : QStringLiteral("the upgrade can be run again.");
    if (m_session.firmwareUpgrade().flashIncomplete())
        question += QStringLiteral("The flash has been erased and holds no complete firmware: the pedal stays "
                                   "in its bootloader until an upgrade runs to its end; ")
                    + again;
    else
        question += QStringLiteral("Nothing has been erased yet: the pedal stays in its bootloader, and ") + again;
    if (m_session.prompts.askYesNo(question) != Prompts::Answer::Yes)
        return false;
    m_session.bootloaderLink().requestCancel();
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

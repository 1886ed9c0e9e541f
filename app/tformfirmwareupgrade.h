#pragma once

#include "actions/upgradereconnect.h"
#include "firmware/firmwareimage.h"
#include "firmware/firmwareupgrade.h"

#include <QWidget>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tovel {

class EditorSession;

// "Firmware Upgrade": choose an image, press Upgrade Firmware, watch the progress bar. The
// window reads its controls, hands the run to the flash action and shows how it ended.
class TformFirmwareUpgrade : public QWidget {
    Q_OBJECT

public:
    explicit TformFirmwareUpgrade(EditorSession &session);
    ~TformFirmwareUpgrade() override;

    // The client area of the three original controls; the options go below, and the window
    // is as wide as their texts need.
    static constexpr int kClientWidth = 158;
    static constexpr int kClientHeight = 143;
    static constexpr int kOptionsHeight = 50;
    static constexpr int kDescriptionHeight = 34; // two lines on the chosen image

    QComboBox *cmbFirmwareChoose;
    QPushButton *btnUpgradeFirmware;
    QProgressBar *ProgressBar1;
    QCheckBox *chkBackupFirst;
    QCheckBox *chkFastTransfer;
    QLabel *lblFirmwareDescription; // what the chosen image is

    // Item indexes of cmbFirmwareChoose.
    static constexpr int itmFirmware4 = 0;
    static constexpr int itmFirmware5 = 1;
    static constexpr int itmFromFile = 2;

    // Closing the main window ends the program: a run under way is stopped once the user
    // agrees. False when the user lets it go on.
    bool closeForQuit();

    const FirmwareChoice &choice() const { return m_choice; }
    bool running() const { return m_running; }
    FirmwareUpgrade *upgrade();

public slots:
    void FirmwareSelect(int index);
    void btnUpgradeFirmwareClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Closing { Window, Program };
    // Asks before a run is stopped, naming what closes; true when nothing runs or the user
    // agrees, and then the run's wait ends.
    bool confirmStop(Closing closing);
    bool chooseFile();
    void setRunning(bool running);
    void showProgress(UpgradeStep step, int value, int maximum);
    void drawProgress();
    // A flash that did not run through, where it stopped and what to do (ran: it held the link).
    void showStopped(const std::optional<ActionFailure> &failure, const FirmwareFlash &flash, bool ran);
    // The image written: the bar full, no second run.
    void showFlashed(const FirmwareFlash &flash);
    // After GO: the pedal restarted into its new firmware and connected again, or why not.
    void showRestart(const ActionResult<FirmwareUpgradeRun> &run);
    UpgradeOptions options() const;

    EditorSession &m_session;
    FirmwareChoice m_choice;
    int m_choiceIndex = -1; // the item of the current choice
    bool m_running = false;
    struct Progress {
        UpgradeStep step;
        int value;
        int maximum;
    };
    std::optional<Progress> m_progress; // waiting to be drawn
};

} // namespace tovel

#pragma once

#include "app/choicelist.h"
#include "core/actionfailure.h"
#include "session/listedbridge.h"

#include <QList>
#include <optional>
#include <QStringList>
#include <QWidget>
#include <utility>

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMenuBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace tovel {

class Application;
class SavedSoundsList;
class VersionRequest;
struct VersionCheck;

// "ZANTH Editor": the main window. Its controls carry the program's fixed names; the handlers
// read the controls, call the areas' logic and show the result.
class TformMain : public QWidget {
    Q_OBJECT

public:
    explicit TformMain(Application &app);

    // Runs once, when the window is created: lists the bridges, sets the port settings and the
    // start states, builds the category rows, creates the data folders. Writes nothing to the
    // console: the console window does not exist yet.
    void FormCreate();
    // The same in two parts: FormCreateFirstPaint does all that the window's first frame shows
    // (everything but the bridge scan and the version check); FormCreateAfterPaint does those two
    // once the frame is painted, when the console exists.
    void FormCreateFirstPaint();
    void FormCreateAfterPaint();
    // What start-up could not read and did without (a remembered choice in a file that is no
    // regular file): console lines for when the console exists.
    QStringList takeStartupNotes() { return std::exchange(m_startupNotes, {}); }

    // Client area 399 x 480.
    static constexpr int kClientWidth = 399;
    static constexpr int kClientHeight = 480;

    QMenuBar *MenuBar1;
    QMenu *menuFile, *menuConnection, *menuSettings, *menuLook, *menuFirmwareUpgrade, *menuHelp;
    QAction *menuLoadConfiguration, *menuSaveConfiguration, *menuLoadIR;
    // A configuration under a name of the user's choosing, in the same format.
    QAction *menuSaveConfigurationAs, *menuLoadConfigurationFrom;
    QAction *menuNormaliseIR; // checkable: Load IR scales the block to just below full scale
    QAction *menuScan, *menuConnect, *menuDisconnect;
    QAction *menuLiveEnable;
    // checkable: a bridge plugged in while no link is open is connected
    QAction *menuConnectWhenPluggedIn;
    QAction *menuFirmwareUpgradeMode, *menuStartFirmwareUpgrade;
    QAction *menuQuickStart, *menuSupport, *menuAppVersion, *menuNewAppVersion;
    QAction *menuAbout;      // version, licence and links
    QAction *menuShowLevels; // checkable: levels as numbers and headings in the parameter window
    QAction *menuQuit;
    // Keys, shown in the menus: F1 the chosen effect's information ("?"), F5 Request, each
    // pressing its button when that is usable; F6 to the parameter window and back.
    QAction *keyEffectInfo, *keyRequest, *keyParameters;
    // Edit: undo and redo of the player's changes to the rows, Compare (the button beside it,
    // and which set under Compare With), Revert to the pedal's settings, the saved sounds.
    QMenu *menuEdit = nullptr, *menuCompareWith = nullptr;
    QAction *menuUndo = nullptr, *menuRedo = nullptr, *menuCompare = nullptr, *menuRevert = nullptr;
    QAction *menuCompareRead = nullptr, *menuCompareStored = nullptr, *menuCompareLoaded = nullptr;
    QAction *menuSavedSounds = nullptr;
    QToolButton *btnCompare = nullptr;
    // The list of the chosen effect's saved sounds; made when first shown.
    SavedSoundsList *formSavedSounds() const { return m_savedSounds; }
    void menuSavedSoundsClick();
    // The shortcuts that work from the parameter and information windows too.
    QList<QAction *> windowShortcuts() const;

    // The controls and menu entries that start an exchange with the pedal, or rebuild the
    // parameter window: disabled as a whole while an exchange runs, each keeping its own
    // enabled state for afterwards.
    QWidget *pnlPedalCommands;
    QActionGroup *grpPedalCommands;

    QLabel *lblDeviceName, *lblSerialNumber, *lblFirmwareVersion, *lblStatus;
    // What the pedal is doing, as the session knows it: the firmware label keeps what the pedal
    // last said, this line tells the truth now.
    QLabel *lblPedalState;
    // What the last command without an answer of its own did (Assign, Store, Save, Load): a
    // line, and the file's path on the next one.
    QLabel *lblActionStatus;
    QPushButton *btnUpload, *btnOpenEffect, *btnRequest, *btnAssign, *btnStoreSettingsOnPedal;
    QCheckBox *chkLiveRequest;
    QPushButton *btnUploadFile, *btnTest;
    QCheckBox *chkFirmwareUpgradeMode;
    QPushButton *btnGetFXInfo;
    ChoiceList *lstCategory, *lstEffects;

    // The seven category rows, created at start-up, in CategoryTable order.
    QList<QListWidgetItem *> CategoryItems;
    // The entries "0" to "6" under Settings > Look; entry i stands for look i.
    QList<QAction *> LookItems;

    // Its first tick, a second after start-up, runs the version check.
    QTimer *Timer2 = nullptr;
    // The version endpoint's request; none when this build names no web host.
    VersionRequest *NetHTTPRequest1 = nullptr;

public slots:
    void btnTestClick();
    void menuScanClick();
    void menuConnectClick();
    void menuDisconnectClick();
    void menuLiveEnableClick();
    void chkLiveRequestChange();
    void btnUploadClick();
    void btnUploadFileClick();
    void btnOpenEffectClick();
    void btnStoreSettingsOnPedalClick();
    void btnRequestClick();
    void btnAssignClick();
    void menuLoadIRClick();
    void menuNormaliseIRClick();
    // File > Load IR: a WAV file's impulse response into the selected IR loader's program,
    // which the next upload of that effect sends.
    void LoadImpulseResponse();
    void menuFirmwareUpgradeModeClick();
    void chkFirmwareUpgradeModeChange();
    // File > Save / Load Configuration: the selected effect's settings in
    // Documents/ZANTH/Tovel/<effect>.txt. Save asks the pedal for its state first.
    void menuSaveConfigurationClick();
    void menuLoadConfigurationClick();
    // The same, with a file dialog that starts there.
    void menuSaveConfigurationAsClick();
    void menuLoadConfigurationFromClick();
    void menuStartFirmwareUpgradeClick();

    // One state request, applied to the rows and tables. False when it did not complete (no
    // answer, an unreadable or stale one, the link gone): then nothing was applied.
    bool RequestParameters();

    void checkmostrecentversiononwebsite();
    void menuSupportClick();
    void menuAboutClick();
    void menuShowLevelsClick();
    // An exchange started or ended: the commands wait for it.
    void exchangeRunning(bool running);
    // The bridge has gone: one message, and the window as after Disconnect.
    void deviceLost();
    // Bridges listed without Scan (plugged in, pulled out, back after an upgrade): the labels
    // as Scan leaves them, without its messages.
    void showListedBridges(const QList<tovel::ListedBridge> &bridges);
    void menuConnectWhenPluggedInClick();

    // Settings > Look: the seven entries, the remembered look at start, a choice.
    void BuildLookMenu();
    void ApplySavedLook();
    void menuLookClickItem(QObject *item);
    // The check mark on the entry of the look shown; none when no entry shows it.
    void markLook(int look);

protected:
    // Closing the main window ends the program, whatever waits and whichever windows are open.
    void closeEvent(QCloseEvent *event) override;

private:
    // Connects a control's signal to one of the handlers above, run inside the general error
    // report.
    template <typename Sender, typename Signal>
    void bind(Sender *sender, Signal signal, void (TformMain::*handler)());
    void buildControls();
    void buildMenus();
    void buildEditMenu();
    // Compare started or ended: the button, the menu and the parameter window's caption say
    // which settings the pedal plays.
    void showComparing(bool comparing);
    void prepareVersionCheck();
    // The version check's announced version into LatestVersionText.
    void WebRequestCompleted(const VersionCheck &check);
    // Another status, or no answer at all: the check's message.
    void WebRequestFailed(const ActionFailure &failure);
    void showLatestVersion();
    // Start-up's first step: the attached bridges into the labels.
    void listAttachedBridges();
    void CreateDataFolder();
    void CreateDataSubfolder();
    bool createFolder(const QStringList &parts, const QString &errorPrefix);
    // Labels, menus and buttons as after a Disconnect, and as after an open (Upgrade Mode: a
    // link to the bootloader).
    void showDisconnected();
    void showConnected(bool bootloader);
    // The window follows the session's link: opened, closed, Upgrade Mode, the firmware told.
    void followSession();
    // The pedal commands enabled as the session's state allows them: a link and to which
    // firmware, the rows of the pedal's effect open, the rows read. The pedal line follows.
    void showPedalState();
    // Upgrade Mode ticked or not: what to do next, on the status line.
    void showUpgradeModeStep();
    // A command starts: the last one's result gives way, the pedal's upload status too.
    void actionStarted();
    // While nothing is listed the status label says how to get the pedal found.
    void showNoPedal(bool none);
    // lblActionStatus: `what`, then the file's path (cut in the middle to fit; whole in the
    // tooltip).
    void showActionStatus(const QString &what, const QString &path = QString());
    // Shows a failed action's message, if it has one; true when there was no failure.
    bool showFailure(const std::optional<ActionFailure> &failure);
    // Configuration files: the state request, then the file; the file onto the rows.
    bool configurationRowsShown();
    // A state request for the file can be made: connected, and the pedal runs the effect
    // whose file it is. Otherwise says why.
    bool configurationSavable();
    void saveConfigurationTo(const QString &path);
    void loadConfigurationFrom(const QString &path);

    Application &m_app;
    bool m_irImportRunning = false; // the import turns the event loop: one at a time
    QStringList m_startupNotes;
    SavedSoundsList *m_savedSounds = nullptr;
    QString m_captionBeforeCompare; // the parameter window's caption while it shows Compare
};

} // namespace tovel

#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMenuBar;
class QPushButton;

namespace tovel {

class Application;

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

    // Client area 399 x 480.
    static constexpr int kClientWidth = 399;
    static constexpr int kClientHeight = 480;

    QMenuBar *MenuBar1;
    QMenu *menuFile, *menuConnection, *menuSettings, *menuLook, *menuFirmwareUpgrade, *menuHelp;
    QAction *menuLoadConfiguration, *menuSaveConfiguration, *menuLoadIR;
    QAction *menuScan, *menuConnect, *menuDisconnect;
    QAction *menuLiveEnable;
    QAction *menuFirmwareUpgradeMode, *menuStartFirmwareUpgrade;
    QAction *menuQuickStart, *menuSupport, *menuAppVersion, *menuNewAppVersion;

    QLabel *lblDeviceName, *lblSerialNumber, *lblFirmwareVersion, *lblStatus;
    QPushButton *btnUpload, *btnOpenEffect, *btnRequest, *btnAssign, *btnStoreSettingsOnPedal;
    QCheckBox *chkLiveRequest;
    QPushButton *btnUploadFile, *btnTest;
    QCheckBox *chkFirmwareUpgradeMode;
    QPushButton *btnGetFXInfo;
    QListWidget *lstCategory, *lstEffects;

    // The seven category rows, created at start-up, in CategoryTable order.
    QList<QListWidgetItem *> CategoryItems;

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
    void menuFirmwareUpgradeModeClick();
    void chkFirmwareUpgradeModeChange();
    void menuStartFirmwareUpgradeClick();

    void ParseEffectInfo(const QString &answer);
    // The pedal's effect number to PedalEffectName; false (with a message) for a number the
    // effect list does not name.
    bool LookUpPedalEffect();
    // One state request, applied to the rows and tables. False when the wait for the answer
    // failed (the link has gone).
    bool RequestParameters();

private:
    // Connects a control's signal to one of the handlers above, run inside the general error
    // report.
    template <typename Sender, typename Signal>
    void bind(Sender *sender, Signal signal, void (TformMain::*handler)());
    void buildControls();
    void buildMenus();
    void CreateDataFolder();
    void CreateDataSubfolder();
    bool createFolder(const QStringList &parts, const QString &errorPrefix);

    Application &m_app;
};

} // namespace tovel

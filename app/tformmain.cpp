#include "app/tformmain.h"
#include "app/failuretext.h"
#include "app/placewidget.h"

#include "actions/linkactions.h"
#include "actions/pedalhotplug.h"
#include "app/choicelist.h"
#include "app/elidedlabel.h"
#include "app/application.h"
#include "app/effectbrowser.h"
#include "app/tformfxinfo.h"
#include "app/console/tformprint.h"
#include "config/configurationfile.h"
#include "core/errorboundary.h"
#include "core/rememberedswitch.h"
#include "core/seams.h"
#include "app/tformfirmwareupgrade.h"
#include "ir/normalisechoice.h"
#include "app/tformfxparameters.h"
#include "protocol/commandexchange.h"
#include "update/versiontext.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <filesystem>
#include <system_error>

namespace tovel {

namespace {


// A control with the toolkit's default size, as the window definition leaves it.
template <typename W>
W *placeDefault(W *w, const char *name, int x, int y)
{
    w->setObjectName(QLatin1String(name));
    w->adjustSize();
    w->move(x, y);
    return w;
}

} // namespace

template <typename Sender, typename Signal>
void TformMain::bind(Sender *sender, Signal signal, void (TformMain::*handler)())
{
    connectHandler(sender, signal, this, m_app.prompts, [this, handler] { (this->*handler)(); });
}

TformMain::TformMain(Application &app) : QWidget(nullptr), m_app(app)
{
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("ZANTH Editor"));
    // Fixed-size border, system menu and minimise button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    buildMenus();
    buildControls();
    buildEditMenu();
    followSession();
}

void TformMain::buildMenus()
{
    MenuBar1 = place(new QMenuBar(this), "MenuBar1", 0, 0, kClientWidth, 24);
    MenuBar1->setAccessibleName(QStringLiteral("Menu bar"));
    MenuBar1->setNativeMenuBar(false);

    auto entry = [](QMenu *menu, const char *name, const QString &text) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        return a;
    };

    menuFile = MenuBar1->addMenu(QStringLiteral("&File"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    menuLoadConfiguration = entry(menuFile, "menuLoadConfiguration", QStringLiteral("&Load Configuration"));
    menuSaveConfiguration = entry(menuFile, "menuSaveConfiguration", QStringLiteral("&Save Configuration"));
    menuSaveConfigurationAs = entry(menuFile, "menuSaveConfigurationAs", QStringLiteral("Save Configuration &As..."));
    menuLoadConfigurationFrom = entry(menuFile, "menuLoadConfigurationFrom", QStringLiteral("Load Configuration &From..."));
    menuLoadIR = entry(menuFile, "menuLoadIR", QStringLiteral("Load &IR"));
    menuLoadIR->setEnabled(false);
    menuNormaliseIR = entry(menuFile, "menuNormaliseIR", QStringLiteral("&Normalise IR"));
    menuNormaliseIR->setCheckable(true);
    QString normaliseProblem;
    menuNormaliseIR->setChecked(loadNormaliseChoice(m_app.folders.documents(), &normaliseProblem));
    if (!normaliseProblem.isEmpty())
        m_startupNotes.append(QStringLiteral("Normalise IR choice not read from %1: %2; Normalise IR is off.")
                                  .arg(normaliseChoicePath(m_app.folders.documents()), normaliseProblem));
    menuFile->addSeparator();
    menuQuit = entry(menuFile, "menuQuit", QStringLiteral("&Quit"));
    menuQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    menuSaveConfiguration->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    menuSaveConfigurationAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    menuLoadConfigurationFrom->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));

    menuConnection = MenuBar1->addMenu(QStringLiteral("&Connection"));
    menuConnection->setObjectName(QStringLiteral("menuConnection"));
    menuScan = entry(menuConnection, "menuScan", QStringLiteral("&Scan"));
    menuConnect = entry(menuConnection, "menuConnect", QStringLiteral("&Connect"));
    menuDisconnect = entry(menuConnection, "menuDisconnect", QStringLiteral("&Disconnect"));
    menuDisconnect->setEnabled(false);

    menuSettings = MenuBar1->addMenu(QStringLiteral("&Settings"));
    menuSettings->setObjectName(QStringLiteral("menuSettings"));
    menuLiveEnable = entry(menuSettings, "menuLiveEnable", QStringLiteral("&Alive Parameters!"));
    menuLiveEnable->setCheckable(true);
    menuLiveEnable->setVisible(false);
    menuConnectWhenPluggedIn = entry(menuSettings, "menuConnectWhenPluggedIn", QStringLiteral("Connect &When Plugged In"));
    menuConnectWhenPluggedIn->setCheckable(true);
    menuConnectWhenPluggedIn->setChecked(m_app.hotplug().connectWhenPluggedIn());
    if (const QString problem = m_app.hotplug().startupProblem(); !problem.isEmpty())
        m_startupNotes.append(QStringLiteral("Connect When Plugged In not read: %1; it is off.").arg(problem));
    menuLook = menuSettings->addMenu(QStringLiteral("&Look"));
    menuLook->setObjectName(QStringLiteral("menuLook"));
    menuShowLevels = entry(menuSettings, "menuShowLevels", QStringLiteral("Show Levels and &Headings"));
    menuShowLevels->setCheckable(true);
    menuShowLevels->setChecked(
        loadRememberedSwitch(TformFXParameters::levelsChoicePath(m_app.folders.documents())));

    menuFirmwareUpgrade = MenuBar1->addMenu(QStringLiteral("Fir&mware Upgrade"));
    menuFirmwareUpgrade->setObjectName(QStringLiteral("menuFirmwareUpgrade"));
    menuFirmwareUpgradeMode = entry(menuFirmwareUpgrade, "menuFirmwareUpgradeMode", QStringLiteral("&Upgrade Mode"));
    menuFirmwareUpgradeMode->setCheckable(true);
    menuStartFirmwareUpgrade = entry(menuFirmwareUpgrade, "menuStartFirmwareUpgrade", QStringLiteral("&Start Firmware Upgrade"));
    menuStartFirmwareUpgrade->setEnabled(false);

    menuHelp = MenuBar1->addMenu(QStringLiteral("&Help"));
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    menuQuickStart = entry(menuHelp, "menuQuickStart", QStringLiteral("&Quick Start"));
    menuQuickStart->setVisible(false);
    menuSupport = entry(menuHelp, "menuSupport", QStringLiteral("&Support"));
    menuAbout = entry(menuHelp, "menuAbout", QStringLiteral("&About ZANTH Editor"));
    menuAppVersion = entry(menuHelp, "menuAppVersion", QStringLiteral("Version: "));
    menuAppVersion->setEnabled(false);
    menuNewAppVersion = entry(menuHelp, "menuNewAppVersion", QStringLiteral("New version available:"));
    menuNewAppVersion->setEnabled(false);
    // Shown once the web site has announced a version: alone, the line says nothing.
    menuNewAppVersion->setVisible(false);

    bind(menuScan, &QAction::triggered, &TformMain::menuScanClick);
    bind(menuConnect, &QAction::triggered, &TformMain::menuConnectClick);
    bind(menuDisconnect, &QAction::triggered, &TformMain::menuDisconnectClick);
    bind(menuLiveEnable, &QAction::triggered, &TformMain::menuLiveEnableClick);
    bind(menuConnectWhenPluggedIn, &QAction::triggered, &TformMain::menuConnectWhenPluggedInClick);
    bind(menuSupport, &QAction::triggered, &TformMain::menuSupportClick);
    bind(menuAbout, &QAction::triggered, &TformMain::menuAboutClick);
    bind(menuShowLevels, &QAction::triggered, &TformMain::menuShowLevelsClick);
    bind(menuLoadIR, &QAction::triggered, &TformMain::menuLoadIRClick);
    bind(menuSaveConfiguration, &QAction::triggered, &TformMain::menuSaveConfigurationClick);
    bind(menuLoadConfiguration, &QAction::triggered, &TformMain::menuLoadConfigurationClick);
    bind(menuSaveConfigurationAs, &QAction::triggered, &TformMain::menuSaveConfigurationAsClick);
    bind(menuLoadConfigurationFrom, &QAction::triggered, &TformMain::menuLoadConfigurationFromClick);
    bind(menuNormaliseIR, &QAction::triggered, &TformMain::menuNormaliseIRClick);
    bind(menuFirmwareUpgradeMode, &QAction::triggered, &TformMain::menuFirmwareUpgradeModeClick);
    // Closed as by its title bar: a firmware upgrade under way asks first.
    connect(menuQuit, &QAction::triggered, this, &QWidget::close);
    bind(menuStartFirmwareUpgrade, &QAction::triggered, &TformMain::menuStartFirmwareUpgradeClick);

    grpPedalCommands = new QActionGroup(this);
    grpPedalCommands->setObjectName(QStringLiteral("grpPedalCommands"));
    grpPedalCommands->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    for (QAction *a : {menuLoadConfiguration, menuSaveConfiguration, menuSaveConfigurationAs,
                       menuLoadConfigurationFrom, menuScan, menuConnect, menuDisconnect,
                       menuFirmwareUpgradeMode, menuStartFirmwareUpgrade})
        grpPedalCommands->addAction(a);
}

void TformMain::buildControls()
{
    // Lowest of the window's children, over the whole client area: the controls in it sit at
    // the same places as the others.
    pnlPedalCommands = place(new QWidget(this), "pnlPedalCommands", 0, 0, kClientWidth, kClientHeight);
    pnlPedalCommands->lower();
    pnlPedalCommands->setAccessibleName(QStringLiteral("Pedal commands"));
    QWidget *commands = pnlPedalCommands;
    lblDeviceName = place(new ElidedLabel(QStringLiteral("Device Name: "), this), "lblDeviceName", 8, 29, 174, 17);
    lblSerialNumber = place(new ElidedLabel(QStringLiteral("Serial Number: "), this), "lblSerialNumber", 8, 47, 185, 17);
    auto *half = new QGraphicsOpacityEffect(lblSerialNumber);
    half->setOpacity(0.5);
    lblSerialNumber->setGraphicsEffect(half);
    lblFirmwareVersion = place(new ElidedLabel(QStringLiteral("Firmware Version: "), this), "lblFirmwareVersion", 9, 64, 174, 20);
    btnUpload = place(new QPushButton(QStringLiteral("&Upload Selected Effect"), commands), "btnUpload", 7, 90, 174, 36);
    lblStatus = place(new QLabel(QStringLiteral("Status: "), this), "lblStatus", 7, 134, 174, 17);
    // The pedal's status ends in CR LF: centred, its first line would ride up out of the label.
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    btnOpenEffect = place(new QPushButton(QStringLiteral("&Open FX"), commands), "btnOpenEffect", 9, 164, 174, 31);
    btnRequest = place(new QPushButton(QStringLiteral("&Request"), commands), "btnRequest", 8, 203, 80, 31);
    btnAssign = place(new QPushButton(QStringLiteral("&Assign"), commands), "btnAssign", 97, 203, 86, 31);
    btnStoreSettingsOnPedal = place(new QPushButton(QStringLiteral("S&tore Settings On Pedal"), commands),
                                    "btnStoreSettingsOnPedal", 8, 242, 175, 31);
    chkLiveRequest = placeDefault(new QCheckBox(QStringLiteral("Live Request"), this), "chkLiveRequest", 8, 281);
    chkLiveRequest->setEnabled(false);
    btnUploadFile = placeDefault(new QPushButton(QStringLiteral("Upload File"), commands), "btnUploadFile", 8, 356);
    btnTest = placeDefault(new QPushButton(QStringLiteral("TestCode"), commands), "btnTest", 103, 356);
    // In the empty lower part of the left column: hidden controls (Live Request, Upload File,
    // TestCode) lie there, nothing shown.
    lblPedalState = place(new QLabel(this), "lblPedalState", 8, 281, 174, 48);
    lblPedalState->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblPedalState->setWordWrap(true);
    lblPedalState->setAccessibleName(QStringLiteral("Pedal"));
    lblActionStatus = place(new QLabel(this), "lblActionStatus", 8, 334, 174, 88);
    lblActionStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblActionStatus->setWordWrap(true);
    lblActionStatus->setAccessibleName(QStringLiteral("Last action"));
    chkFirmwareUpgradeMode = place(new QCheckBox(QStringLiteral("Firmware Upgrade Mode"), this),
                                   "chkFirmwareUpgradeMode", 9, 423, 174, 19);
    chkFirmwareUpgradeMode->setVisible(false);
    btnGetFXInfo = place(new QPushButton(QStringLiteral("?"), this), "btnGetFXInfo", 161, 450, 22, 22);
    btnGetFXInfo->setEnabled(false);
    btnGetFXInfo->setCursor(Qt::WhatsThisCursor);
    btnGetFXInfo->setAccessibleName(QStringLiteral("Effect information"));
    lstCategory = place(new ChoiceList(this), "lstCategory", 191, 28, 200, 137);
    lstCategory->setAccessibleName(QStringLiteral("Categories"));
    lstEffects = place(new ChoiceList(commands), "lstEffects", 191, 173, 200, 299);
    lstEffects->setAccessibleName(QStringLiteral("Effects"));

    // The order of a session: choose the effect, load it, open it on the pedal, edit.
    const QList<QWidget *> tabOrder{lstCategory, lstEffects, btnGetFXInfo, btnUpload, btnOpenEffect,
                                    btnRequest, btnAssign, btnStoreSettingsOnPedal};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    // The window opens with the keyboard in the category list, where a session starts.
    lstCategory->setFocus();

    keyEffectInfo = new QAction(QStringLiteral("Effect information"), this);
    keyEffectInfo->setObjectName(QStringLiteral("keyEffectInfo"));
    keyEffectInfo->setShortcut(QKeySequence(Qt::Key_F1));
    keyRequest = new QAction(QStringLiteral("&Request"), this);
    keyRequest->setObjectName(QStringLiteral("keyRequest"));
    keyRequest->setShortcut(QKeySequence(Qt::Key_F5));
    keyParameters = new QAction(QStringLiteral("Go to &Parameters Window"), this);
    keyParameters->setObjectName(QStringLiteral("keyParameters"));
    keyParameters->setShortcut(QKeySequence(Qt::Key_F6));
    addActions({keyEffectInfo, keyRequest, keyParameters});
    // The keys shown where the player looks for them: in the menus.
    keyEffectInfo->setText(QStringLiteral("Effect &Information"));
    menuHelp->insertAction(menuSupport, keyEffectInfo);
    menuConnection->addSeparator();
    menuConnection->addAction(keyRequest);
    menuSettings->addAction(keyParameters);
    // F6 goes to the parameter window and, from there, back to where the player was here.
    connect(keyParameters, &QAction::triggered, this, [this] {
        TformFXParameters *parameters = m_app.formFXParameters();
        if (!parameters || !parameters->isVisible())
            return;
        QWidget *to = parameters->isActiveWindow() ? static_cast<QWidget *>(this) : parameters;
        to->raise();
        to->activateWindow();
        if (to == parameters)
            parameters->focusRows();
    });
    // A key presses the button only when the button could be pressed: enabled, and not held
    // back by an exchange that runs.
    const auto press = [](QPushButton *button) {
        return [button] {
            if (button->isEnabled())
                button->click();
        };
    };
    connect(keyEffectInfo, &QAction::triggered, btnGetFXInfo, press(btnGetFXInfo));
    connect(keyRequest, &QAction::triggered, btnRequest, press(btnRequest));

    bind(btnTest, &QPushButton::clicked, &TformMain::btnTestClick);
    bind(btnOpenEffect, &QPushButton::clicked, &TformMain::btnOpenEffectClick);
    bind(btnStoreSettingsOnPedal, &QPushButton::clicked, &TformMain::btnStoreSettingsOnPedalClick);
    bind(btnRequest, &QPushButton::clicked, &TformMain::btnRequestClick);
    bind(btnAssign, &QPushButton::clicked, &TformMain::btnAssignClick);
    bind(btnUpload, &QPushButton::clicked, &TformMain::btnUploadClick);
    bind(btnUploadFile, &QPushButton::clicked, &TformMain::btnUploadFileClick);
    bind(chkLiveRequest, &QCheckBox::toggled, &TformMain::chkLiveRequestChange);
    bind(chkFirmwareUpgradeMode, &QCheckBox::toggled, &TformMain::chkFirmwareUpgradeModeChange);
}

QList<QAction *> TformMain::windowShortcuts() const
{
    return {menuSaveConfiguration, menuSaveConfigurationAs, menuLoadConfigurationFrom, menuQuit,
            keyEffectInfo, keyRequest, keyParameters, menuUndo, menuRedo, menuCompare, menuSavedSounds};
}

void TformMain::FormCreate()
{
    listAttachedBridges();
    FormCreateFirstPaint();
    prepareVersionCheck();
}

void TformMain::FormCreateAfterPaint()
{
    listAttachedBridges();
    prepareVersionCheck();
}

void TformMain::listAttachedBridges()
{
    // 1. The attached bridges: serial numbers run together after the label's text; the name
    // label and ListedDeviceName hold the last description.
    const QList<ListedBridge> bridges = listBridges(m_app.session(), false);
    for (const ListedBridge &bridge : bridges) {
        lblSerialNumber->setText(lblSerialNumber->text() + bridge.serialNumber);
        lblDeviceName->setText(bridge.description);
    }
    showNoPedal(bridges.isEmpty());
}

void TformMain::FormCreateFirstPaint()
{
    EditorSession &session = m_app.session();
    D2XXUnit &usb = session.usb;

    // 2. Port settings, applied when connecting: 115200 baud, 8 data bits, one stop bit, no parity.
    usb.choosePedalLine();

    // 3.
    session.link.FirmwareUpgradeMode = false;
    session.selection.EffectOnPedal = false;

    // 4.
    btnRequest->setEnabled(false);
    btnAssign->setEnabled(false);
    btnStoreSettingsOnPedal->setEnabled(false);
    btnUploadFile->setVisible(false);
    btnTest->setVisible(false);
    btnUpload->setEnabled(false);
    btnOpenEffect->setEnabled(false);
    chkLiveRequest->setVisible(false);
    showPedalState();

    // 5. The category rows.
    CategoryItems = createCategoryRows(lstCategory);

    // 6.
    m_app.params.reset_min_max_array();

    // 7. The version request and Timer2: prepareVersionCheck(), after the first paint.

    // 8. The Help menu's version entry: its text, a blank and the version.
    m_app.versions.AppVersion = appVersionFrom(QStringLiteral(TOVEL_VERSION_TEXT));
    menuAppVersion->setText(menuAppVersion->text() + QLatin1Char(' ') + m_app.versions.AppVersion);

    // 9.
    CreateDataFolder();
    CreateDataSubfolder();

    // 10.
    BuildLookMenu();
    ApplySavedLook();
}

bool TformMain::createFolder(const QStringList &parts, const QString &errorPrefix)
{
    QString path = m_app.folders.documents();
    // Without a home folder the folders would be made at the root: said once, nothing made.
    if (path.isEmpty()) {
        if (parts.size() == 1)
            m_app.prompts.showMessage(errorPrefix + m_app.folders.documentsProblem()
                                      + QStringLiteral(" Configurations, firmware backups and the chosen look are "
                                                       "not kept in this run."));
        return false;
    }
    for (const QString &part : parts)
        path += QDir::separator() + part;
    std::error_code error;
    const std::filesystem::path folder(path.toStdString());
    if (std::filesystem::is_directory(folder, error))
        return true;
    std::filesystem::create_directories(folder, error);
    if (!error && !std::filesystem::is_directory(folder, error))
        error = std::make_error_code(std::errc::not_a_directory);
    if (error) {
        m_app.prompts.showMessage(errorPrefix + QString::fromStdString(error.message()));
        return false;
    }
    return true;
}

void TformMain::CreateDataFolder()
{
    createFolder(configurationFolderNames().mid(0, 1), QStringLiteral("Error creating folder: "));
}

void TformMain::CreateDataSubfolder()
{
    createFolder(configurationFolderNames(), QStringLiteral("Error creating subfolder: "));
}

void TformMain::exchangeRunning(bool running)
{
    pnlPedalCommands->setEnabled(!running);
    grpPedalCommands->setEnabled(!running);
    if (TformFXParameters *parameters = m_app.formFXParameters())
        parameters->setExchangeRunning(running);
}

void TformMain::closeEvent(QCloseEvent *event)
{
    // A firmware upgrade under way asks first: stopped half-way, it leaves the controller in
    // its bootloader. If the user lets it go on, nothing closes.
    if (TformFirmwareUpgrade *upgrade = m_app.formFirmwareUpgrade();
        upgrade && upgrade->isVisible() && !upgrade->closeForQuit()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    // A wait in progress ends at once; its handler returns to the event loop, which ends.
    m_app.exchange().quit();
    const QList<QWidget *> others = {m_app.formFXParameters(), m_app.formFirmwareUpgrade(),
                                     m_app.formPrint(), m_app.formFXInfo()};
    for (QWidget *w : others)
        if (w)
            w->close();
    QCoreApplication::quit();
}

void TformMain::showActionStatus(const QString &what, const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
    // A path has no blanks to wrap at: cut in the middle, its folder's start and the file
    // name stay readable.
    const QString shown = native.isEmpty()
        ? what
        : what + QLatin1Char('\n') + lblActionStatus->fontMetrics().elidedText(native, Qt::ElideMiddle, lblActionStatus->width());
    const QString whole = native.isEmpty() ? what : what + QLatin1Char('\n') + native;
    lblActionStatus->setText(shown);
    lblActionStatus->setToolTip(whole);
    lblActionStatus->setAccessibleDescription(whole);
}

bool TformMain::showFailure(const std::optional<ActionFailure> &failure)
{
    if (!failure)
        return true;
    if (!failure->message.isEmpty())
        m_app.prompts.showMessage(windowFailureText(*failure));
    return false;
}

void TformMain::btnTestClick()
{
    const QString hex = QStringLiteral("%1").arg(10, 8, 16, QLatin1Char('0')).toUpper();
    m_app.console().printToConsole(hex);
    m_app.console().printToConsole(hex.right(2));
}

// Live mode: the editor follows the pedal instead of driving it. Both controls are hidden in a
// normal run.
void TformMain::menuLiveEnableClick()
{
    const bool on = menuLiveEnable->isChecked();
    chkLiveRequest->setEnabled(on);
    m_app.session().setLiveMode(on);
}

void TformMain::chkLiveRequestChange()
{
    m_app.session().setLiveMode(chkLiveRequest->isChecked());
}

void TformMain::actionStarted()
{
    // Unless it says that no pedal is found (a wrapped line), which holds until one is.
    if (!lblStatus->wordWrap())
        lblStatus->setText(QStringLiteral("Status: "));
    showActionStatus(QString());
}

} // namespace tovel

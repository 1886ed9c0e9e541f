#include "app/application.h"
#include "app/usbfailuretext.h"

#include "actions/pedalhotplug.h"
#include "app/effectbrowser.h"
#include "app/tformfxinfo.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "app/widgetprompts.h"
#include "app/windowplacement.h"
#include "console/sessionlog.h"
#include "app/console/tformprint.h"
#include "app/tformfirmwareupgrade.h"
#include "protocol/commandexchange.h"

#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>

namespace tovel {

Application::Application(Prompts &prompts_, Pacing &pacing_, Folders &folders_, FtDriver &driver,
                         const Clock &clock_, const WebSite &site_, WebBrowser *browser,
                         const QString &logFile, Startup startup)
    : prompts(prompts_), pacing(pacing_), clock(clock_), folders(folders_),
      m_session(std::make_unique<EditorSession>(prompts_, pacing_, folders_, driver, clock_)),
      usb(m_session->usb), params(m_session->params), site(site_), m_startup(startup)
{
    if (!browser) {
        m_desktopBrowser = std::make_unique<DesktopWebBrowser>();
        browser = m_desktopBrowser.get();
    }
    m_browserSeam = browser;
    m_hotplug = std::make_unique<PedalHotplug>(*m_session);
    // USB failures in a message box: the fixed text, and what to do next below it.
    m_session->usb.onFailure = [this](const UsbFailure &failure) { prompts.showMessage(usbFailureText(failure)); };

    // Every window shows the editor's icon (docks and task bars take it from the window).
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/org.tovel.Editor.png")));
    m_formMain = std::make_unique<TformMain>(*this);
    if (startup == Startup::Whole)
        m_formMain->FormCreate();
    else
        m_formMain->FormCreateFirstPaint();
    // Where the manager put it, moved sideways where that leaves no room for the parameter
    // window beside it on a screen that has room for both.
    new PlaceWhenFramed(*m_formMain, [this](const QMargins &frame) {
        const int rows = m_formFXParameters ? m_formFXParameters->wantedClientWidth() : TformFXParameters::kClientWidth;
        return roomBeside(availableGeometryFor(*m_formMain), m_formMain->frameGeometry(),
                          rows + frame.left() + frame.right());
    });

    const QDateTime started = QDateTime::currentDateTime();
    if (!logFile.isEmpty())
        m_sessionLog = SessionLog::openFile(logFile, started, m_sessionLogError);
    else if (const QString state = folders.state(); state.isEmpty())
        m_sessionLogError = QStringLiteral("there is no state folder to keep it in (%1)").arg(folders.documentsProblem());
    else
        m_sessionLog = SessionLog::openInFolder(QDir(state).filePath(QStringLiteral("tovel-editor")), started,
                                                m_sessionLogError);
    m_session->trace().attachSessionLog(m_sessionLog.get());
    if (startup == Startup::Whole)
        finishStartup();
}

void Application::finishStartup()
{
    if (m_formPrint)
        return;
    m_formFirmwareUpgrade = std::make_unique<TformFirmwareUpgrade>(*m_session);
    m_formPrint = std::make_unique<TformPrint>(m_session->trace());
    // Wholly on the screen, however far its design position lies past the screen's edge.
    new PlaceWhenFramed(*m_formPrint, [print = m_formPrint.get()](const QMargins &) {
        return moveInside(print->frameGeometry(), availableGeometryFor(*print));
    });
    m_formPrint->attachSavePrompts(prompts, folders);
    // What start-up did without, now that there is a console to say it.
    if (!m_sessionLog)
        m_formPrint->printToConsole(QStringLiteral("No session log: ") + m_sessionLogError);
    for (const QString &note : m_formMain->takeStartupNotes())
        m_formPrint->printToConsole(note);

    m_formFXParameters = std::make_unique<TformFXParameters>(*m_session);
    m_formFXInfo = std::make_unique<tformFXInfo>();

    TformMain &main = *m_formMain;
    m_browser = std::make_unique<EffectBrowser>(
        BrowserControls{&main, main.lstCategory, main.lstEffects, main.btnGetFXInfo, main.menuLoadIR},
        *m_session, *m_formFXInfo, *m_formFXParameters);
    // Save, Load From, Quit, F1 and F5 work from the effect's two windows as from the main one.
    m_formFXParameters->addActions(main.windowShortcuts());
    m_formFXInfo->addActions(main.windowShortcuts());

    QObject::connect(&m_session->exchange(), &CommandExchange::busyChanged, &main, &TformMain::exchangeRunning);
    QObject::connect(m_session.get(), &EditorSession::deviceLost, &main, &TformMain::deviceLost);

    // The scan's and the version check's lines go to the console, which exists now.
    if (m_startup == Startup::FirstPaintFirst)
        main.FormCreateAfterPaint();
}

Application::~Application()
{
    // The session outlives the log; lines traced from here on are kept, not written.
    m_session->trace().attachSessionLog(nullptr);
}

Console &Application::console()
{
    return m_session->trace();
}

} // namespace tovel

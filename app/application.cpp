#include "app/application.h"

#include "app/tformmain.h"
#include "app/widgetprompts.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectbrowser.h"
#include "catalogue/tformfxinfo.h"
#include "params/tformfxparameters.h"
#include "console/sessionlog.h"
#include "console/tformprint.h"
#include "firmware/tformfirmwareupgrade.h"
#include "protocol/commandexchange.h"

#include <QDateTime>
#include <QDir>
#include <QPushButton>
#include <QWidget>

namespace tovel {

Application::Application(Prompts &prompts_, Pacing &pacing_, Folders &folders_, FtDriver &driver,
                         const Clock &clock_, const WebSite &site_, WebBrowser *browser,
                         const QString &logFile)
    : prompts(prompts_), pacing(pacing_), clock(clock_), folders(folders_), usb(driver, prompts_),
      site(site_)
{
    if (!browser) {
        m_desktopBrowser = std::make_unique<DesktopWebBrowser>();
        browser = m_desktopBrowser.get();
    }
    m_browserSeam = browser;
    m_loader = std::make_unique<CatalogueLoader>(prompts);

    m_formMain = std::make_unique<TformMain>(*this);
    m_formMain->FormCreate();

    m_formFirmwareUpgrade = std::make_unique<TformFirmwareUpgrade>(usb, pacing, clock, prompts, folders);

    m_sessionLog = logFile.isEmpty()
                       ? SessionLog::openInFolder(QDir(folders.state()).filePath(QStringLiteral("tovel-editor")),
                                                  QDateTime::currentDateTime(), m_sessionLogError)
                       : SessionLog::openFile(logFile, m_sessionLogError);
    m_formPrint = std::make_unique<TformPrint>();
    m_formPrint->attachSessionLog(m_sessionLog.get(), prompts, folders);
    // What start-up did without, now that there is a console to say it.
    if (!m_sessionLog)
        m_formPrint->printToConsole(QStringLiteral("No session log: ") + m_sessionLogError);
    for (const QString &note : m_formMain->takeStartupNotes())
        m_formPrint->printToConsole(note);
    m_formFirmwareUpgrade->attachConsole(*m_formPrint);
    m_exchange = std::make_unique<CommandExchange>(usb, pacing, clock, *m_formPrint);
    m_formFirmwareUpgrade->attachExchange(*m_exchange);

    m_formFXParameters = std::make_unique<TformFXParameters>(*m_loader, state, params, *m_exchange,
                                                             *m_formPrint, prompts);
    m_formFXInfo = std::make_unique<tformFXInfo>();

    TformMain &main = *m_formMain;
    m_browser = std::make_unique<EffectBrowser>(
        BrowserControls{&main, main.lstCategory, main.lstEffects, main.btnGetFXInfo, main.menuLoadIR,
                        main.btnRequest, main.btnAssign, main.btnStoreSettingsOnPedal},
        state, *m_formPrint, prompts, folders, *m_loader, *m_formFXInfo, *m_formFXParameters);

    QObject::connect(m_formFXParameters.get(), &TformFXParameters::rowsClosed, &main, [&main] {
        main.btnRequest->setEnabled(false);
        main.btnAssign->setEnabled(false);
    });
    QObject::connect(m_exchange.get(), &CommandExchange::busyChanged, &main, &TformMain::exchangeRunning);
    usb.onDeviceLost = [&main] { main.deviceLost(); };
}

Application::~Application()
{
    usb.onDeviceLost = nullptr;
}

Console &Application::console()
{
    return *m_formPrint;
}

} // namespace tovel

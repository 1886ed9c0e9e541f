#pragma once

#include "core/mainstate.h"
#include "params/paramtables.h"
#include "update/website.h"
#include "usb/d2xxunit.h"

#include <memory>

class QWidget;

namespace tovel {

class CatalogueLoader;
class Clock;
class CommandExchange;
class EffectBrowser;
class TformFXParameters;
class tformFXInfo;
class Console;
class Folders;
class FtDriver;
class Pacing;
class Prompts;
class SessionLog;
class TformMain;
class TformPrint;
class WebBrowser;
class TformFirmwareUpgrade;

// Owns the program's state and its five windows, created in this order: main window, firmware
// upgrade, console, parameters, information. The main window's FormCreate runs while it is the
// only window. The outside world comes in through the seams, so tests build a fresh application
// on scripted ones.
class Application {
public:
    // site: where the version check asks and Support leads (none by default: no request).
    // browser: opens the support page; the desktop's own when none is given.
    // logFile: where the session's trace goes; a new file in the state folder's tovel-editor
    // when none is given.
    Application(Prompts &prompts, Pacing &pacing, Folders &folders, FtDriver &driver,
                const Clock &clock, const WebSite &site = {}, WebBrowser *browser = nullptr,
                const QString &logFile = QString());
    ~Application();

    Prompts &prompts;
    Pacing &pacing;
    const Clock &clock; // time as the pedal link sees it: time-outs are measured on it
    Folders &folders;
    D2XXUnit usb;
    MainState state;
    ParamTables params; // assignments and limits, for the whole run
    const WebSite site;

    TformMain *formMain() const { return m_formMain.get(); }
    TformFirmwareUpgrade *formFirmwareUpgrade() const { return m_formFirmwareUpgrade.get(); }
    TformPrint *formPrint() const { return m_formPrint.get(); }
    TformFXParameters *formFXParameters() const { return m_formFXParameters.get(); }
    tformFXInfo *formFXInfo() const { return m_formFXInfo.get(); }
    CatalogueLoader &loader() { return *m_loader; }
    EffectBrowser &browser() { return *m_browser; }
    Console &console();
    CommandExchange &exchange() { return *m_exchange; }
    WebBrowser &webBrowser() { return *m_browserSeam; }
    // The file of this session's trace; null when it could not be made (sessionLogError says
    // why, and the console has said so).
    SessionLog *sessionLog() const { return m_sessionLog.get(); }
    QString sessionLogError() const { return m_sessionLogError; }

private:
    std::unique_ptr<WebBrowser> m_desktopBrowser;
    WebBrowser *m_browserSeam;
    std::unique_ptr<CatalogueLoader> m_loader;
    std::unique_ptr<TformMain> m_formMain;
    std::unique_ptr<TformFirmwareUpgrade> m_formFirmwareUpgrade;
    // Outlives the console, which writes to it to the last.
    std::unique_ptr<SessionLog> m_sessionLog;
    QString m_sessionLogError;
    std::unique_ptr<TformPrint> m_formPrint;
    std::unique_ptr<TformFXParameters> m_formFXParameters;
    std::unique_ptr<tformFXInfo> m_formFXInfo;
    std::unique_ptr<EffectBrowser> m_browser;
    std::unique_ptr<CommandExchange> m_exchange;
};

} // namespace tovel

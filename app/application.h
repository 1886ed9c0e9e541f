#pragma once

#include "params/paramtables.h"
#include "session/editorsession.h"
#include "update/website.h"
#include "usb/d2xxunit.h"

#include <memory>

class QWidget;

namespace tovel {

class Clock;
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
class PedalHotplug;

// The editor's own version and the one the maker's web site announces.
struct VersionFacts {
    QString AppVersion;
    QString LatestVersionText; // printable text of the version endpoint's last 200 answer
};

// Owns the editor's session and its five windows, created in this order: main window, firmware
// upgrade, console, parameters, information. The main window's FormCreate runs while it is the
// only window. The outside world comes in through the seams, so tests build a fresh application
// on scripted ones.
class Application {
public:
    enum class Startup {
        Whole,           // every window and every start-up step at once
        FirstPaintFirst, // the main window as its first frame shows it; finishStartup() the rest
    };

    // site: where the version check asks and Support leads (none by default: no request).
    // browser: opens the support page; the desktop's own when none is given.
    // logFile: where the session's trace goes; a new file in the state folder's tovel-editor
    // when none is given.
    Application(Prompts &prompts, Pacing &pacing, Folders &folders, FtDriver &driver,
                const Clock &clock, const WebSite &site = {}, WebBrowser *browser = nullptr,
                const QString &logFile = QString(), Startup startup = Startup::Whole);
    ~Application();

    // After a FirstPaintFirst start, once the main window is painted: the other four windows,
    // the bridge scan and the version check. Runs once; the windows' accessors give null
    // before.
    void finishStartup();

    Prompts &prompts;
    Pacing &pacing;
    const Clock &clock; // time as the pedal link sees it: time-outs are measured on it
    Folders &folders;

private:
    std::unique_ptr<EditorSession> m_session;

public:
    EditorSession &session() { return *m_session; }
    // What the editor does as bridges come and go: follow() it with the hot-plug monitor.
    PedalHotplug &hotplug() { return *m_hotplug; }
    D2XXUnit &usb;       // the session's
    ParamTables &params; // the session's: assignments and limits, for the whole run
    VersionFacts versions;
    const WebSite site;

    TformMain *formMain() const { return m_formMain.get(); }
    TformFirmwareUpgrade *formFirmwareUpgrade() const { return m_formFirmwareUpgrade.get(); }
    TformPrint *formPrint() const { return m_formPrint.get(); }
    TformFXParameters *formFXParameters() const { return m_formFXParameters.get(); }
    tformFXInfo *formFXInfo() const { return m_formFXInfo.get(); }
    CatalogueLoader &loader() { return m_session->loader(); }
    EffectBrowser &browser() { return *m_browser; }
    Console &console();
    CommandExchange &exchange() { return m_session->exchange(); }
    WebBrowser &webBrowser() { return *m_browserSeam; }
    // The file of this session's trace; null when it could not be made (sessionLogError says
    // why, and the console has said so).
    SessionLog *sessionLog() const { return m_sessionLog.get(); }
    QString sessionLogError() const { return m_sessionLogError; }

private:
    std::unique_ptr<PedalHotplug> m_hotplug;
    std::unique_ptr<WebBrowser> m_desktopBrowser;
    WebBrowser *m_browserSeam;
    std::unique_ptr<TformMain> m_formMain;
    std::unique_ptr<TformFirmwareUpgrade> m_formFirmwareUpgrade;
    // The session's trace writes every line to it.
    std::unique_ptr<SessionLog> m_sessionLog;
    QString m_sessionLogError;
    std::unique_ptr<TformPrint> m_formPrint;
    std::unique_ptr<TformFXParameters> m_formFXParameters;
    std::unique_ptr<tformFXInfo> m_formFXInfo;
    std::unique_ptr<EffectBrowser> m_browser;
    Startup m_startup;
};

} // namespace tovel

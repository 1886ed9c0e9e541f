#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

// Everything the editor does to the outside world, other than the pedal link, goes through one
// of these. The application passes real implementations; tests pass scripted ones.

namespace tovel {

// Modal dialogs. Each call returns when the user has dismissed the dialog.
class Prompts {
public:
    enum class Answer { Yes, No, Other };

    virtual ~Prompts() = default;
    // A modal box with an OK button.
    virtual void showMessage(const QString &text) = 0;
    // The same box with a picture beside the text (PNG bytes). Without an override the text
    // alone is shown.
    virtual void showMessageWithPicture(const QString &text, const QByteArray &png)
    {
        Q_UNUSED(png);
        showMessage(text);
    }
    // A modal Yes/No confirmation. Closing the box without choosing gives Other.
    virtual Answer askYesNo(const QString &text) = 0;
    // The same before a step that cannot be undone: Enter and Escape answer No.
    virtual Answer askBeforeIrreversible(const QString &text) { return askYesNo(text); }
    // The file-open dialog. An empty filter keeps the filter the dialog had last
    // ("Wave Files (*.wav)|*.wav" form: description|patterns). Empty result: cancelled.
    virtual QString openFile(const QString &filter) = 0;
    // The same dialog, starting in `folder`. Without an override it starts where openFile does.
    virtual QString openFileIn(const QString &filter, const QString &folder)
    {
        Q_UNUSED(folder);
        return openFile(filter);
    }
    // The file-save dialog, proposing `proposedPath` (its folder and name). Empty result:
    // cancelled.
    virtual QString saveFile(const QString &filter, const QString &proposedPath) = 0;
};

// The fixed sleeps and the "process pending events" turns of the polling loops.
class Pacing {
public:
    virtual ~Pacing() = default;
    // A plain sleep of the calling thread: nothing is processed meanwhile.
    virtual void sleepMs(int ms) = 0;
    // One turn of the event loop: pending window events run here.
    virtual void processEvents() = 0;
};

// The folders the program keeps its files in.
class Folders {
public:
    virtual ~Folders() = default;
    // The user's Documents folder; empty when there is none to write in (see documentsProblem).
    virtual QString documents() const = 0;
    // Why documents() is empty, in a sentence; empty when it is not.
    virtual QString documentsProblem() const { return QString(); }
    // The folder of the program's own files (information pages and their pictures), without a
    // trailing separator: beside the executable in the build tree, share/tovel-editor of an
    // installation.
    virtual QString programFolder() const = 0;
    // The user's folder for state kept between runs, such as logs ($XDG_STATE_HOME,
    // ~/.local/state when that is unset).
    virtual QString state() const = 0;
};

// The diagnostic console: one sink for every trace line of the program.
class Console {
public:
    virtual ~Console() = default;
    // Adds a line; scrolls to the end when the console's auto-scroll is on.
    virtual void printToConsole(const QString &text) = 0;
    // Adds a line without scrolling, whatever auto-scroll says.
    virtual void appendConsoleLine(const QString &text) = 0;
};

// The user's web browser.
class WebBrowser {
public:
    virtual ~WebBrowser() = default;
    // Hands the address to the desktop's browser; false when the desktop could not.
    virtual bool openUrl(const QUrl &url) = 0;
};

} // namespace tovel

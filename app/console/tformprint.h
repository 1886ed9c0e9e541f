#pragma once

#include "core/seams.h"

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPropertyAnimation;
class QPushButton;

namespace tovel {

class TraceStore;

// "Print Console": shows the trace the session keeps (TraceStore). Created hidden at start-up;
// the program never shows it by itself (--console does).
//
// The session keeps the last lines; the session log, when there is one, has every line of the
// run, and Save Log... copies it. The memo shows the kept lines through a short single-shot
// flush, so a flood of lines costs a repaint per kLinesPerTurn lines, not one per line, each cut
// at kShownLineChars with a note of what was left out (laying out millions of characters in one
// line would freeze the window), under a note of how many earlier lines were dropped. The
// session log is written on the same flush. A flush that scrolls glides the memo to its target
// in one short animation, once the memo shows every line, so a burst of lines costs one
// animation, not one per line.
class TformPrint : public QWidget, public Console {
    Q_OBJECT

public:
    static constexpr int kShownLineChars = 4096;
    // Lines the flush adds to the memo in one turn of the event loop (a few milliseconds of
    // layout); a flood is shown over several turns, the window answering between them.
    static constexpr int kLinesPerTurn = 2000;
    static constexpr int kScrollMs = 200; // length of the glide to the end

    // Shows `trace`, which must outlive the window.
    explicit TformPrint(TraceStore &trace, QWidget *parent = nullptr);

    // Save Log... asks through `prompts` where to, proposing the Documents folder of `folders`,
    // and copies the trace's session log there.
    void attachSavePrompts(Prompts &prompts, const Folders &folders);

    // Lines added here go to the trace, as every other line does.
    void printToConsole(const QString &text) override;
    void appendConsoleLine(const QString &text) override;

    void PrintToConsole(const QString &text) { printToConsole(text); }
    void AppendConsoleLine(const QString &text) { appendConsoleLine(text); }

    bool AutoScroll() const { return m_autoScroll; }
    // Shows everything still waiting for the flush at once and writes it to the session log
    // (tests and the benchmark call it).
    void flush();
    // The glide of the vertical scroll bar that a scrolling flush starts.
    QPropertyAnimation *scrollAnimation() const { return m_scrollAnimation; }

    // The note above the memo's lines once earlier ones have been dropped.
    QString droppedNote() const;

    QPlainTextEdit *Memo1;
    QPushButton *btnClear;
    QCheckBox *CheckBox1;
    QPushButton *btnScrollTop;
    QPushButton *btnSaveLog;

public slots:
    void btnClearClick();
    void btnScrollTopClick();
    void CheckBox1Change();
    void btnSaveLogClick();

private:
    void lineAdded(bool scroll);
    void traceCleared();
    // One turn's flush: kLinesPerTurn lines at most, the rest on the next turn.
    void flushTurn();
    void queueFlush();
    void updateMemo(int most);
    void scrollIfAsked();
    void scrollTo(int target);
    QString saveShownLines(const QString &path);

    TraceStore &m_trace;
    // The memo shows the trace's lines numbered from m_memoFirst up to m_shownEnd (less those
    // the trace has dropped since, which the next flush takes away).
    qint64 m_memoFirst = 0;
    qint64 m_shownEnd = 0;
    bool m_noteShown = false; // the memo's first block is the dropped-lines note
    qint64 m_scrollLine = -1; // last line whose addition asked to scroll to the end, pending
    bool m_flushQueued = false;
    bool m_autoScroll = false;
    QPropertyAnimation *m_scrollAnimation = nullptr;
    Prompts *m_prompts = nullptr;
    const Folders *m_folders = nullptr;
};

} // namespace tovel

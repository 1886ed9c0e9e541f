#pragma once

#include "core/seams.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPropertyAnimation;
class QPushButton;

namespace tovel {

class SessionLog;

// "Print Console": the one sink of every trace line. Created hidden at start-up; the program
// never shows it by itself (--console does).
//
// The window keeps the last kMaxLines lines (and no more than kKeptChars characters of them);
// the session log, when there is one, has every line of the run, and Save Log... copies it.
// The memo shows the kept lines through a short single-shot flush, so a flood of lines costs
// a repaint per kLinesPerTurn lines, not one per line, each cut at kShownLineChars with a note
// of what was left out (laying out millions of characters in one line would freeze the
// window), under a note of how many earlier lines were dropped. The session log is written on
// the same flush. A flush that scrolls glides the memo to its target in one short animation,
// once the memo shows every line, so a burst of lines costs one animation, not one per line.
class TformPrint : public QWidget, public Console {
    Q_OBJECT

public:
    static constexpr int kMaxLines = 10000;
    static constexpr int kShownLineChars = 4096;
    // Lines the flush adds to the memo in one turn of the event loop (a few milliseconds of
    // layout); a flood is shown over several turns, the window answering between them.
    static constexpr int kLinesPerTurn = 2000;
    // A line is kept whole up to this length, as in the session log (a longer one costs a copy
    // of what is kept); all kept lines together up to kKeptChars (16 MB).
    static constexpr qsizetype kKeptLineChars = 1024 * 1024;
    static constexpr qsizetype kKeptChars = 8 * 1024 * 1024;
    static constexpr int kScrollMs = 200; // length of the glide to the end

    explicit TformPrint(QWidget *parent = nullptr);

    // Lines go to `log` too (it must outlive the window, or be detached with nullptr); Save
    // Log... asks through `prompts` where to, proposing the Documents folder of `folders`.
    void attachSessionLog(SessionLog *log, Prompts &prompts, const Folders &folders);

    void printToConsole(const QString &text) override;
    void appendConsoleLine(const QString &text) override;

    void PrintToConsole(const QString &text) { printToConsole(text); }
    void AppendConsoleLine(const QString &text) { appendConsoleLine(text); }

    // The last lines since Clear, unchanged up to kKeptLineChars (a longer one is cut with a
    // note of what was left out).
    const QStringList &lines() const { return m_lines; }
    // Lines since Clear that are no longer kept.
    qint64 droppedLines() const { return m_dropped; }
    bool AutoScroll() const { return m_autoScroll; }
    // Shows everything still waiting for the flush at once and writes it to the session log
    // (tests and the benchmark call it).
    void flush();
    // The glide of the vertical scroll bar that a scrolling flush starts.
    QPropertyAnimation *scrollAnimation() const { return m_scrollAnimation; }

    // The first `keep` characters of a longer line and " ... 131072 more characters", counted
    // from `length`, the line's length as it was given.
    static QString cutLine(const QString &line, qsizetype keep, qsizetype length);
    static QString cutLine(const QString &line, qsizetype keep) { return cutLine(line, keep, line.size()); }
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
    void add(const QString &text, bool scroll);
    void dropOldest();
    // One turn's flush: kLinesPerTurn lines at most, the rest on the next turn.
    void flushTurn();
    void queueFlush();
    void updateMemo(int most);
    void scrollIfAsked();
    void scrollTo(int target);
    QString saveShownLines(const QString &path);

    QStringList m_lines;
    QList<qsizetype> m_lengths; // of each kept line as it was given
    qsizetype m_keptChars = 0;
    qint64 m_dropped = 0;    // lines dropped since Clear
    int m_unshown = 0;      // kept lines at the end not yet in the memo
    int m_memoLines = 0;    // blocks of the memo that hold a line (the note not counted)
    int m_memoDrop = 0;     // blocks at the top of the memo whose lines have been dropped
    bool m_noteShown = false; // the memo's first block is the dropped-lines note
    int m_scrollLine = -1;  // last kept line whose addition asked to scroll to the end, pending
    bool m_flushQueued = false;
    bool m_autoScroll = false;
    QPropertyAnimation *m_scrollAnimation = nullptr;
    SessionLog *m_log = nullptr;
    Prompts *m_prompts = nullptr;
    const Folders *m_folders = nullptr;
};

} // namespace tovel

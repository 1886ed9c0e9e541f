#pragma once

#include "core/seams.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPropertyAnimation;
class QPushButton;

namespace tovel {

// "Print Console": the one sink of every trace line. Created hidden at start-up; the program
// never shows it by itself (--console does).
//
// Lines are kept in full; the memo shows them through a short single-shot flush, so a flood of
// lines costs one repaint, and a very long line is shown cut at kShownLineChars with a note of
// its length (laying out millions of characters in one line would freeze the window).
// lines() holds every line exactly as it was given. A flush that scrolls glides the memo to its
// target in one short animation, so a burst of lines costs one animation, not one per line.
class TformPrint : public QWidget, public Console {
    Q_OBJECT

public:
    static constexpr int kShownLineChars = 100000;
    static constexpr int kScrollMs = 200; // length of the glide to the end

    explicit TformPrint(QWidget *parent = nullptr);

    void printToConsole(const QString &text) override;
    void appendConsoleLine(const QString &text) override;

    void PrintToConsole(const QString &text) { printToConsole(text); }
    void AppendConsoleLine(const QString &text) { appendConsoleLine(text); }

    // Every line since the last Clear, unchanged.
    const QStringList &lines() const { return m_lines; }
    bool AutoScroll() const { return m_autoScroll; }
    // Shows what is still waiting for the flush (tests and the benchmark call it).
    void flush();
    // The glide of the vertical scroll bar that a scrolling flush starts.
    QPropertyAnimation *scrollAnimation() const { return m_scrollAnimation; }

    QPlainTextEdit *Memo1;
    QPushButton *btnClear;
    QCheckBox *CheckBox1;
    QPushButton *btnScrollTop;

public slots:
    void btnClearClick();
    void btnScrollTopClick();
    void CheckBox1Change();

private:
    void add(const QString &text, bool scroll);
    static QString shownText(const QString &line);
    void scrollTo(int target);

    QStringList m_lines;
    int m_shown = 0;        // lines already in the memo
    int m_scrollLine = -1;  // last line whose addition asked to scroll to the end, pending
    bool m_flushQueued = false;
    bool m_autoScroll = false;
    QPropertyAnimation *m_scrollAnimation = nullptr;
};

} // namespace tovel

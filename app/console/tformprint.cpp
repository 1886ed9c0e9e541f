#include "app/console/tformprint.h"

#include "console/sessionlog.h"
#include "console/tracestore.h"
#include "core/safefile.h"

#include <QCheckBox>
#include <QDir>
#include <QEasingCurve>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace tovel {

namespace {
const QString kLogFilter = QStringLiteral("Log Files (*.log)|*.log|All Files (*)|*");
} // namespace

TformPrint::TformPrint(TraceStore &trace, QWidget *parent) : QWidget(parent), m_trace(trace)
{
    setObjectName(QStringLiteral("formPrint"));
    setWindowTitle(QStringLiteral("Print Console"));
    setFixedSize(490, 652);
    move(1075, 0);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setGeometry(96, 8, 386, 636);
    Memo1->setAccessibleName(QStringLiteral("Trace lines"));

    btnClear = new QPushButton(QStringLiteral("Clear"), this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setGeometry(8, 8, 80, 48);

    CheckBox1 = new QCheckBox(QStringLiteral("scrollDOWN"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 64, 89, 33);
    CheckBox1->setAccessibleName(QStringLiteral("Scroll down to each new line"));

    // The box's text is wider than its 89 pixels in most fonts: the memo starts right of it
    // and keeps its right edge, the window its size.
    CheckBox1->resize(std::max(CheckBox1->width(), CheckBox1->sizeHint().width()), CheckBox1->height());
    const int memoLeft = std::max(Memo1->x(), CheckBox1->geometry().right() + 6);
    Memo1->setGeometry(memoLeft, Memo1->y(), Memo1->geometry().right() + 1 - memoLeft, Memo1->height());

    btnScrollTop = new QPushButton(QStringLiteral("UP"), this);
    btnScrollTop->setObjectName(QStringLiteral("btnScrollTop"));
    btnScrollTop->setGeometry(17, 418, 49, 54);
    btnScrollTop->setAccessibleName(QStringLiteral("Scroll up to the first line"));

    btnSaveLog = new QPushButton(QStringLiteral("Save Log..."), this);
    btnSaveLog->setObjectName(QStringLiteral("btnSaveLog"));
    btnSaveLog->setGeometry(8, 596, 80, 48);
    btnSaveLog->setAccessibleName(QStringLiteral("Save every line of this session to a file"));

    m_scrollAnimation = new QPropertyAnimation(Memo1->verticalScrollBar(), "value", this);
    m_scrollAnimation->setDuration(kScrollMs);
    m_scrollAnimation->setEasingCurve(QEasingCurve::OutCubic);

    connect(btnClear, &QPushButton::clicked, this, &TformPrint::btnClearClick);
    connect(CheckBox1, &QCheckBox::toggled, this, &TformPrint::CheckBox1Change);
    connect(btnScrollTop, &QPushButton::clicked, this, &TformPrint::btnScrollTopClick);
    connect(btnSaveLog, &QPushButton::clicked, this, &TformPrint::btnSaveLogClick);

    connect(&m_trace, &TraceStore::lineAdded, this, &TformPrint::lineAdded);
    connect(&m_trace, &TraceStore::cleared, this, &TformPrint::traceCleared);
    // Lines the session kept before the window was made.
    m_memoFirst = m_shownEnd = m_trace.droppedLines();
    if (m_trace.endNumber() > m_shownEnd)
        queueFlush();
}

void TformPrint::attachSavePrompts(Prompts &prompts, const Folders &folders)
{
    m_prompts = &prompts;
    m_folders = &folders;
}

void TformPrint::printToConsole(const QString &text)
{
    m_trace.printToConsole(text);
}

void TformPrint::appendConsoleLine(const QString &text)
{
    m_trace.appendConsoleLine(text);
}

QString TformPrint::droppedNote() const
{
    return QStringLiteral("... %1 earlier lines dropped").arg(m_trace.droppedLines())
           + (m_trace.sessionLog() ? QStringLiteral(" (Save Log... saves every line)") : QString());
}

void TformPrint::lineAdded(bool scroll)
{
    if (scroll && m_autoScroll)
        m_scrollLine = m_trace.endNumber() - 1;
    queueFlush();
}

void TformPrint::queueFlush()
{
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &TformPrint::flushTurn);
    }
}

void TformPrint::updateMemo(int most)
{
    const qint64 first = m_trace.droppedLines();
    const bool noteWanted = first > 0;
    // Lines of the memo the trace no longer keeps, and kept lines the memo does not show yet.
    const qint64 memoDrop = std::clamp(first - m_memoFirst, qint64(0), m_shownEnd - m_memoFirst);
    const qint64 from = std::max(m_shownEnd, first);
    const qint64 unshown = m_trace.endNumber() - from;
    // A line dropped since the last flush was either in the memo or waiting behind new ones:
    // with nothing to take away or add, the note's count is the one shown.
    if (memoDrop == 0 && unshown == 0 && noteWanted == m_noteShown && from == m_shownEnd)
        return;
    QScrollBar *v = Memo1->verticalScrollBar();
    QScrollBar *h = Memo1->horizontalScrollBar();
    const int vKeep = v->value();
    const int hKeep = h->value();
    int blocksAbove = 0; // blocks taken away above the view's first line, less those added there

    QTextDocument *doc = Memo1->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    const qint64 memoLines = m_shownEnd - m_memoFirst;
    if (memoDrop > 0 && memoDrop >= memoLines) {
        blocksAbove = doc->blockCount();
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        m_noteShown = false;
    } else if (memoDrop > 0) {
        const int top = m_noteShown ? 1 : 0;
        cursor.setPosition(doc->findBlockByNumber(top).position());
        cursor.setPosition(doc->findBlockByNumber(top + int(memoDrop)).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        blocksAbove = int(memoDrop);
    }
    // Lines dropped before they were shown are not waited for.
    m_memoFirst = memoDrop >= memoLines ? from : m_memoFirst + memoDrop;
    m_shownEnd = from;

    if (noteWanted) {
        cursor.setPosition(0);
        if (m_noteShown) {
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            cursor.insertText(droppedNote());
        } else {
            cursor.insertText(droppedNote());
            if (m_shownEnd > m_memoFirst)
                cursor.insertBlock();
            m_noteShown = true;
            --blocksAbove;
        }
    }

    if (unshown > 0) {
        const qint64 count = std::min(unshown, qint64(most));
        const QStringList &lines = m_trace.lines();
        QStringList batch;
        batch.reserve(count);
        for (qint64 n = from; n < from + count; ++n) {
            const qsizetype i = n - first;
            batch.append(TraceStore::cutLine(lines[i], kShownLineChars, m_trace.givenLength(i)));
        }
        // Inserted through a cursor: appendPlainText puts its text into the first block while
        // the memo holds nothing but one empty line, which would lose that line. It would also
        // scroll to the end when the view is already there; the view stays where it is unless
        // a line asked to scroll.
        cursor.movePosition(QTextCursor::End);
        if (m_noteShown || m_shownEnd > m_memoFirst)
            cursor.insertBlock();
        cursor.insertText(batch.join(QLatin1Char('\n')));
        m_shownEnd += count;
    }
    cursor.endEditBlock();
    // The scroll bar counts lines: the view keeps showing the lines it showed.
    v->setValue(std::max(0, vKeep - blocksAbove));
    h->setValue(hKeep);
}

void TformPrint::flushTurn()
{
    m_flushQueued = false;
    m_trace.flushSessionLog();
    updateMemo(kLinesPerTurn);
    if (m_shownEnd < m_trace.endNumber())
        queueFlush();
    else
        scrollIfAsked();
}

void TformPrint::flush()
{
    m_flushQueued = false;
    m_trace.flushSessionLog();
    updateMemo(std::numeric_limits<int>::max());
    scrollIfAsked();
}

void TformPrint::scrollIfAsked()
{
    if (m_scrollLine >= 0) {
        // Where the view goes: the end, or the line that asked to scroll at the bottom when
        // plain appends have come after it (as if each line had been drawn at once).
        QScrollBar *v = Memo1->verticalScrollBar();
        const int from = v->value();
        int target = v->maximum();
        if (m_scrollLine != m_trace.endNumber() - 1) {
            m_scrollAnimation->stop();
            v->setValue(0);
            // A line dropped since it asked: the first one kept.
            const int block = int(std::max(m_scrollLine, m_memoFirst) - m_memoFirst) + (m_noteShown ? 1 : 0);
            Memo1->setTextCursor(QTextCursor(Memo1->document()->findBlockByNumber(block)));
            Memo1->ensureCursorVisible();
            target = v->value();
            v->setValue(from);
        }
        Memo1->horizontalScrollBar()->setValue(0);
        m_scrollLine = -1;
        scrollTo(target);
    }
}

void TformPrint::scrollTo(int target)
{
    QScrollBar *v = Memo1->verticalScrollBar();
    m_scrollAnimation->stop();
    // Nobody sees a hidden memo move; it goes there at once.
    if (!Memo1->isVisible() || v->value() == target) {
        v->setValue(target);
        return;
    }
    // One glide per flush, from where the view stands, however many lines the flush brought.
    m_scrollAnimation->setStartValue(v->value());
    m_scrollAnimation->setEndValue(target);
    m_scrollAnimation->start();
}

void TformPrint::btnClearClick()
{
    // The kept lines only: the session log keeps every line.
    m_trace.clear();
}

void TformPrint::traceCleared()
{
    m_memoFirst = m_shownEnd = 0;
    m_noteShown = false;
    m_scrollLine = -1;
    m_scrollAnimation->stop();
    Memo1->clear();
}

void TformPrint::btnScrollTopClick()
{
    flush();
    m_scrollAnimation->stop();
    Memo1->verticalScrollBar()->setValue(0);
}

void TformPrint::CheckBox1Change()
{
    m_autoScroll = CheckBox1->isChecked();
}

void TformPrint::btnSaveLogClick()
{
    if (!m_prompts)
        return;
    flush();
    SessionLog *log = m_trace.sessionLog();
    const QString name = log ? QFileInfo(log->path()).fileName() : QStringLiteral("tovel-editor-console.log");
    const QString proposed = m_folders ? QDir(m_folders->documents()).filePath(name) : name;
    const QString path = m_prompts->saveFile(kLogFilter, proposed);
    if (path.isEmpty())
        return;
    // Without a log file to copy (none could be made, it stopped, or --log sent it to a pipe or
    // a terminal), the lines this window keeps are what there is.
    const bool whole = log && log->error().isEmpty() && QFileInfo(log->path()).isFile();
    const QString error = whole ? log->saveCopy(path) : saveShownLines(path);
    if (!error.isEmpty()) {
        m_prompts->showMessage(QStringLiteral("Error saving file: ") + error);
        return;
    }
    printToConsole(QStringLiteral("console log saved: ") + path);
}

QString TformPrint::saveShownLines(const QString &path)
{
    QByteArray text;
    if (m_trace.droppedLines() > 0)
        text += QStringLiteral("... %1 earlier lines dropped\n").arg(m_trace.droppedLines()).toUtf8();
    for (const QString &line : m_trace.lines())
        text += line.toUtf8() + '\n';
    return writeFileSafely(path, text);
}

} // namespace tovel

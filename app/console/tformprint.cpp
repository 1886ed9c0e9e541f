#include "app/console/tformprint.h"

#include "console/sessionlog.h"
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

TformPrint::TformPrint(QWidget *parent) : QWidget(parent)
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
}

void TformPrint::attachSessionLog(SessionLog *log, Prompts &prompts, const Folders &folders)
{
    m_log = log;
    m_prompts = &prompts;
    m_folders = &folders;
}

void TformPrint::printToConsole(const QString &text)
{
    add(text, m_autoScroll);
}

void TformPrint::appendConsoleLine(const QString &text)
{
    add(text, false);
}

QString TformPrint::cutLine(const QString &line, qsizetype keep, qsizetype length)
{
    if (length <= keep)
        return line;
    const QString note = QStringLiteral(" ... %1 more characters").arg(length - keep);
    QString cut;
    cut.reserve(keep + note.size());
    cut.append(QStringView(line).left(keep));
    cut.append(note);
    return cut;
}

QString TformPrint::droppedNote() const
{
    return QStringLiteral("... %1 earlier lines dropped").arg(m_dropped)
           + (m_log ? QStringLiteral(" (Save Log... saves every line)") : QString());
}

void TformPrint::add(const QString &text, bool scroll)
{
    if (m_log)
        m_log->append(text);
    m_lines.append(cutLine(text, kKeptLineChars));
    m_lengths.append(text.size());
    m_keptChars += m_lines.last().size();
    ++m_unshown;
    if (scroll)
        m_scrollLine = int(m_lines.size()) - 1;
    while (m_lines.size() > kMaxLines || (m_keptChars > kKeptChars && m_lines.size() > 1))
        dropOldest();
    queueFlush();
}

void TformPrint::queueFlush()
{
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &TformPrint::flushTurn);
    }
}

void TformPrint::dropOldest()
{
    // The kept lines are those in the memo, then those still waiting for the flush.
    if (m_lines.size() > m_unshown)
        ++m_memoDrop;
    else
        --m_unshown;
    m_keptChars -= m_lines.first().size();
    m_lines.removeFirst();
    m_lengths.removeFirst();
    ++m_dropped;
    if (m_scrollLine > 0)
        --m_scrollLine;
}

void TformPrint::updateMemo(int most)
{
    const bool noteWanted = m_dropped > 0;
    // A line dropped since the last flush was either in the memo or waiting behind new ones:
    // with nothing to take away or add, the note's count is the one shown.
    if (m_memoDrop == 0 && m_unshown == 0 && noteWanted == m_noteShown)
        return;
    QScrollBar *v = Memo1->verticalScrollBar();
    QScrollBar *h = Memo1->horizontalScrollBar();
    const int vKeep = v->value();
    const int hKeep = h->value();
    int blocksAbove = 0; // blocks taken away above the view's first line, less those added there

    QTextDocument *doc = Memo1->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    if (m_memoDrop > 0 && m_memoDrop >= m_memoLines) {
        blocksAbove = doc->blockCount();
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        m_memoLines = 0;
        m_noteShown = false;
    } else if (m_memoDrop > 0) {
        const int first = m_noteShown ? 1 : 0;
        cursor.setPosition(doc->findBlockByNumber(first).position());
        cursor.setPosition(doc->findBlockByNumber(first + m_memoDrop).position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        m_memoLines -= m_memoDrop;
        blocksAbove = m_memoDrop;
    }
    m_memoDrop = 0;

    if (noteWanted) {
        cursor.setPosition(0);
        if (m_noteShown) {
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            cursor.insertText(droppedNote());
        } else {
            cursor.insertText(droppedNote());
            if (m_memoLines > 0)
                cursor.insertBlock();
            m_noteShown = true;
            --blocksAbove;
        }
    }

    if (m_unshown > 0) {
        const int count = std::min(m_unshown, most);
        const qsizetype from = m_lines.size() - m_unshown;
        QStringList batch;
        batch.reserve(count);
        for (qsizetype i = from; i < from + count; ++i)
            batch.append(cutLine(m_lines[i], kShownLineChars, m_lengths[i]));
        // Inserted through a cursor: appendPlainText puts its text into the first block while
        // the memo holds nothing but one empty line, which would lose that line. It would also
        // scroll to the end when the view is already there; the view stays where it is unless
        // a line asked to scroll.
        cursor.movePosition(QTextCursor::End);
        if (m_noteShown || m_memoLines > 0)
            cursor.insertBlock();
        cursor.insertText(batch.join(QLatin1Char('\n')));
        m_memoLines += count;
        m_unshown -= count;
    }
    cursor.endEditBlock();
    // The scroll bar counts lines: the view keeps showing the lines it showed.
    v->setValue(std::max(0, vKeep - blocksAbove));
    h->setValue(hKeep);
}

void TformPrint::flushTurn()
{
    m_flushQueued = false;
    if (m_log)
        m_log->flush();
    updateMemo(kLinesPerTurn);
    if (m_unshown > 0)
        queueFlush();
    else
        scrollIfAsked();
}

void TformPrint::flush()
{
    m_flushQueued = false;
    if (m_log)
        m_log->flush();
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
        if (m_scrollLine != m_lines.size() - 1) {
            m_scrollAnimation->stop();
            v->setValue(0);
            const int block = m_scrollLine + (m_noteShown ? 1 : 0);
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
    // The memo only: the session log keeps every line.
    m_lines.clear();
    m_lengths.clear();
    m_keptChars = 0;
    m_dropped = 0;
    m_unshown = 0;
    m_memoLines = 0;
    m_memoDrop = 0;
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
    const QString name =
        m_log ? QFileInfo(m_log->path()).fileName() : QStringLiteral("tovel-editor-console.log");
    const QString proposed = m_folders ? QDir(m_folders->documents()).filePath(name) : name;
    const QString path = m_prompts->saveFile(kLogFilter, proposed);
    if (path.isEmpty())
        return;
    // Without a log file to copy (none could be made, it stopped, or --log sent it to a pipe or
    // a terminal), the lines this window keeps are what there is.
    const bool whole = m_log && m_log->error().isEmpty() && QFileInfo(m_log->path()).isFile();
    const QString error = whole ? m_log->saveCopy(path) : saveShownLines(path);
    if (!error.isEmpty()) {
        m_prompts->showMessage(QStringLiteral("Error saving file: ") + error);
        return;
    }
    printToConsole(QStringLiteral("console log saved: ") + path);
}

QString TformPrint::saveShownLines(const QString &path)
{
    QByteArray text;
    if (m_dropped > 0)
        text += QStringLiteral("... %1 earlier lines dropped\n").arg(m_dropped).toUtf8();
    for (const QString &line : std::as_const(m_lines))
        text += line.toUtf8() + '\n';
    return writeFileSafely(path, text);
}

} // namespace tovel

#include "console/tformprint.h"

#include <QCheckBox>
#include <QEasingCurve>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

namespace tovel {

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

    btnScrollTop = new QPushButton(QStringLiteral("UP"), this);
    btnScrollTop->setObjectName(QStringLiteral("btnScrollTop"));
    btnScrollTop->setGeometry(17, 418, 49, 54);
    btnScrollTop->setAccessibleName(QStringLiteral("Scroll up to the first line"));

    m_scrollAnimation = new QPropertyAnimation(Memo1->verticalScrollBar(), "value", this);
    m_scrollAnimation->setDuration(kScrollMs);
    m_scrollAnimation->setEasingCurve(QEasingCurve::OutCubic);

    connect(btnClear, &QPushButton::clicked, this, &TformPrint::btnClearClick);
    connect(CheckBox1, &QCheckBox::toggled, this, &TformPrint::CheckBox1Change);
    connect(btnScrollTop, &QPushButton::clicked, this, &TformPrint::btnScrollTopClick);
}

void TformPrint::printToConsole(const QString &text)
{
    add(text, m_autoScroll);
}

void TformPrint::appendConsoleLine(const QString &text)
{
    add(text, false);
}

void TformPrint::add(const QString &text, bool scroll)
{
    m_lines.append(text);
    if (scroll)
        m_scrollLine = int(m_lines.size()) - 1;
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &TformPrint::flush);
    }
}

QString TformPrint::shownText(const QString &line)
{
    if (line.size() <= kShownLineChars)
        return line;
    return line.left(kShownLineChars)
           + QStringLiteral(" ... [%1 characters in all]").arg(line.size());
}

void TformPrint::flush()
{
    m_flushQueued = false;
    if (m_shown < m_lines.size()) {
        QStringList batch;
        batch.reserve(m_lines.size() - m_shown);
        for (int i = m_shown; i < m_lines.size(); ++i)
            batch.append(shownText(m_lines[i]));
        // Inserted through a cursor: appendPlainText puts its text into the first block while
        // the memo holds nothing but one empty line, which would lose that line. It would also
        // scroll to the end when the view is already there; the view stays where it is unless
        // a line asked to scroll.
        QScrollBar *v = Memo1->verticalScrollBar();
        QScrollBar *h = Memo1->horizontalScrollBar();
        const int vKeep = v->value();
        const int hKeep = h->value();
        QTextCursor end(Memo1->document());
        end.movePosition(QTextCursor::End);
        end.beginEditBlock();
        if (m_shown > 0)
            end.insertBlock();
        end.insertText(batch.join(QLatin1Char('\n')));
        end.endEditBlock();
        m_shown = int(m_lines.size());
        v->setValue(vKeep);
        h->setValue(hKeep);
    }
    if (m_scrollLine >= 0) {
        // Where the view goes: the end, or the line that asked to scroll at the bottom when
        // plain appends have come after it (as if each line had been drawn at once).
        QScrollBar *v = Memo1->verticalScrollBar();
        const int from = v->value();
        int target = v->maximum();
        if (m_scrollLine != m_lines.size() - 1) {
            m_scrollAnimation->stop();
            v->setValue(0);
            Memo1->setTextCursor(QTextCursor(Memo1->document()->findBlockByNumber(m_scrollLine)));
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
    m_lines.clear();
    m_shown = 0;
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

} // namespace tovel

#include "console/tformprint.h"

#include <QCheckBox>
#include <QPlainTextEdit>
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

    btnClear = new QPushButton(QStringLiteral("Clear"), this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setGeometry(8, 8, 80, 48);

    CheckBox1 = new QCheckBox(QStringLiteral("scrollDOWN"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(8, 64, 89, 33);

    btnScrollTop = new QPushButton(QStringLiteral("UP"), this);
    btnScrollTop->setObjectName(QStringLiteral("btnScrollTop"));
    btnScrollTop->setGeometry(17, 418, 49, 54);

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
        m_shown = int(m_lines.size());
        // appendPlainText would scroll to the end when the view is already there; keep the
        // view where it is unless a line asked to scroll.
        QScrollBar *v = Memo1->verticalScrollBar();
        QScrollBar *h = Memo1->horizontalScrollBar();
        const int vKeep = v->value();
        const int hKeep = h->value();
        Memo1->appendPlainText(batch.join(QLatin1Char('\n')));
        v->setValue(vKeep);
        h->setValue(hKeep);
    }
    if (m_scrollLine >= 0) {
        // Where the view was when the line that asked to scroll was the last one: the end, or
        // that line at the bottom when plain appends have come after it.
        QScrollBar *v = Memo1->verticalScrollBar();
        if (m_scrollLine == m_lines.size() - 1) {
            v->setValue(v->maximum());
        } else {
            v->setValue(0);
            QTextCursor cursor(Memo1->document()->findBlockByNumber(m_scrollLine));
            Memo1->setTextCursor(cursor);
            Memo1->ensureCursorVisible();
        }
        Memo1->horizontalScrollBar()->setValue(0);
        m_scrollLine = -1;
    }
}

void TformPrint::btnClearClick()
{
    m_lines.clear();
    m_shown = 0;
    m_scrollLine = -1;
    Memo1->clear();
}

void TformPrint::btnScrollTopClick()
{
    flush();
    Memo1->verticalScrollBar()->setValue(0);
}

void TformPrint::CheckBox1Change()
{
    m_autoScroll = CheckBox1->isChecked();
}

} // namespace tovel

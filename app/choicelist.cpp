#include "app/choicelist.h"

#include <QKeyEvent>
#include <QPainter>

namespace tovel {

ChoiceList::ChoiceList(QWidget *parent) : QListWidget(parent) {}

void ChoiceList::keyPressEvent(QKeyEvent *event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    const int after = currentRow();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (after >= 0 && (after != before || enter))
        emit rowChosenByKey(after);
}

void ChoiceList::paintEvent(QPaintEvent *event)
{
    QListWidget::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(viewport());
    constexpr int kFocusFrame = 2;
    painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), kFocusFrame));
    painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
}

void ChoiceList::focusInEvent(QFocusEvent *event)
{
    QListWidget::focusInEvent(event);
    viewport()->update();
}

void ChoiceList::focusOutEvent(QFocusEvent *event)
{
    QListWidget::focusOutEvent(event);
    viewport()->update();
}

} // namespace tovel

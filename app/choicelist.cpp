#include "app/choicelist.h"

#include <QKeyEvent>

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

} // namespace tovel

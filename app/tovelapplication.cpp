#include "app/tovelapplication.h"

#include "core/errorboundary.h"

namespace tovel {

TovelApplication::TovelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TovelApplication::notify(QObject *receiver, QEvent *event)
{
    if (!m_prompts)
        return QApplication::notify(receiver, event);
    bool handled = false;
    ErrorBoundary::run(*m_prompts, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace tovel

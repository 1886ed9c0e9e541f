#include "params/tformfxparameters.h"

#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/errorboundary.h"
#include "core/mainstate.h"
#include "core/seams.h"

#include <QShowEvent>

namespace tovel {

TformFXParameters::TformFXParameters(CatalogueLoader &loader, MainState &state, Console &console,
                                     Prompts &prompts, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint)
    , m_loader(loader), m_state(state), m_console(console), m_prompts(prompts)
{
    setObjectName(QStringLiteral("formFXParameters"));
    setWindowTitle(QStringLiteral("FX Parameters"));
    setFixedSize(kClientWidth, heightForParams(0));
}

int TformFXParameters::heightForParams(int numParams)
{
    return (numParams + 2) * kRowPitch + kTopMargin;
}

void TformFXParameters::openBeside(const QWidget &mainWindow, const QString &caption)
{
    if (isVisible())
        close();
    const QRect main = mainWindow.frameGeometry();
    move(main.x() + main.width(), main.y());
    setWindowTitle(caption);
    show();
    setFixedSize(kClientWidth, heightForParams(m_layout.NumParams));
}

bool TformFXParameters::LoadControlLayout()
{
    m_layout = ControlLayout();
    const QString name = EffectResourceName(m_state.SelectedEffectName) + QStringLiteral("_ctrls");
    if (!m_loader.LoadListResource(name))
        return false;
    ControlLayout layout = ControlLayout::fromLines(m_loader.CurrentList());
    m_console.printToConsole(QStringLiteral("num of pots: ") + QString::number(layout.NumPots));
    m_console.printToConsole(QStringLiteral("num of switches: ") + QString::number(layout.NumSwitches));
    m_console.printToConsole(QStringLiteral("num of multi switch: ")
                             + QString::number(layout.NumMultiSwitches));
    for (int p = 0; p < layout.LinesPresent; ++p)
        m_console.printToConsole(layout.ParamLines.at(p));
    m_layout = layout;
    return true;
}

void TformFXParameters::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from its icon keeps its rows; only a show by the program rebuilds.
    if (event->spontaneous())
        return;
    ErrorBoundary::run(m_prompts, [this] { LoadControlLayout(); });
}

} // namespace tovel

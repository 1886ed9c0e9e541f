// Impulse responses: File > Load IR and the Normalise IR choice.
#include "app/application.h"
#include "app/tformmain.h"
#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/seams.h"
#include "ir/irimport.h"
#include "ir/irlayout.h"
#include "ir/irpicture.h"
#include "ir/irplot.h"
#include "ir/normalisechoice.h"

#include <QAction>

namespace tovel {

void TformMain::menuLoadIRClick()
{
    LoadImpulseResponse();
}

void TformMain::LoadImpulseResponse()
{
    // The import turns the event loop while it reads a large file; a second click meanwhile
    // would interleave two imports' console lines and results.
    if (m_irImportRunning)
        return;
    Prompts &prompts = m_app.prompts;
    MainState &state = m_app.state;
    // The effect is fixed now: the user may click another one while the file is read.
    const QString effect = state.SelectedEffectName;
    const IrLayout *layout = irLayoutFor(effect);
    if (!layout) {
        // Open FX can select the pedal's effect, of any category, after an IR loader was
        // clicked and Load IR enabled.
        prompts.showMessage(
            (effect.isEmpty() ? QStringLiteral("No effect is selected.")
                              : QStringLiteral("%1 takes no impulse response.").arg(effect))
            + QStringLiteral(" Select an IR loader in the Impulse Response category, then choose Load IR."));
        return;
    }
    const QString path = prompts.openFile(QStringLiteral("Wave Files (*.wav)|*.wav"));
    if (path.isEmpty())
        return;

    m_irImportRunning = true;
    struct Done {
        bool &running;
        ~Done() { running = false; }
    } done{m_irImportRunning};

    CatalogueLoader &loader = m_app.loader();
    const IrImportResult result = importImpulseResponse(
        path, *layout, menuNormaliseIR->isChecked(), m_app.console(), m_app.pacing,
        [&]() -> std::optional<QString> {
            // The loader shows why it failed; an empty resource has no program to splice into.
            if (!loader.LoadListResource(EffectResourceName(effect)))
                return std::nullopt;
            return loader.CurrentList().value(0);
        });

    switch (result.outcome) {
    case IrImportResult::Outcome::Stopped:
        return;
    case IrImportResult::Outcome::Refused:
        prompts.showMessage(result.refusal);
        return;
    case IrImportResult::Outcome::Spliced:
        break;
    }
    state.IrProgramText = result.program;
    state.IrProgramEffect = effect;
    prompts.showMessageWithPicture(result.summary, irPicturePng(makeIrPlot(result.block.words)));
}

void TformMain::menuNormaliseIRClick()
{
    const QString error = saveNormaliseChoice(m_app.folders.documents(), menuNormaliseIR->isChecked());
    if (!error.isEmpty())
        m_app.prompts.showMessage(QStringLiteral("Error saving file: ") + error);
}

} // namespace tovel

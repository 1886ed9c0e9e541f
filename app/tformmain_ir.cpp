// Impulse responses: File > Load IR and the Normalise IR choice.
#include "actions/iractions.h"
#include "app/application.h"
#include "app/tformmain.h"
#include "core/seams.h"
#include "app/ir/irpicture.h"
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
    if (const QString refusal = impulseResponseRefusal(m_app.session()); !refusal.isEmpty()) {
        prompts.showMessage(refusal);
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
    const ActionResult<ImpulseResponseImport> result =
        importImpulseResponse(m_app.session(), path, menuNormaliseIR->isChecked());
    if (!showFailure(result.failure))
        return;
    prompts.showMessageWithPicture(result.value.summary, irPicturePng(makeIrPlot(result.value.block.words)));
}

void TformMain::menuNormaliseIRClick()
{
    const QString error = saveNormaliseChoice(m_app.folders.documents(), menuNormaliseIR->isChecked());
    if (!error.isEmpty())
        m_app.prompts.showMessage(QStringLiteral("Error saving file: ") + error);
}

} // namespace tovel

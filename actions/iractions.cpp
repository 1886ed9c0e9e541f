#include "actions/iractions.h"

#include "core/nowidgets.h"

#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "ir/irimport.h"
#include "ir/irlayout.h"
#include "session/editorsession.h"

namespace tovel {

QString impulseResponseRefusal(const EditorSession &session)
{
    const QString &effect = session.selection.SelectedEffectName;
    if (irLayoutFor(effect))
        return QString();
    // Open FX can select the pedal's effect, of any category, after an IR loader was clicked
    // and Load IR enabled.
    return (effect.isEmpty() ? QStringLiteral("No effect is selected.")
                             : QStringLiteral("%1 takes no impulse response.").arg(effect))
        + QStringLiteral(" Select an IR loader in the Impulse Response category, then choose Load IR.");
}

ActionResult<ImpulseResponseImport> importImpulseResponse(EditorSession &session, const QString &path,
                                                          bool normalise)
{
    using R = ActionResult<ImpulseResponseImport>;
    using Kind = ActionFailure::Kind;
    const QString step = QStringLiteral("impulse response import");
    // The effect is fixed now: the player may click another one while the file is read.
    const QString effect = session.selection.SelectedEffectName;
    const IrLayout *layout = irLayoutFor(effect);
    if (!layout)
        return R::fail(Kind::Invalid, step, impulseResponseRefusal(session));

    CatalogueLoader &loader = session.loader();
    QString loadError;
    const IrImportResult imported = importImpulseResponse(
        path, *layout, normalise, session.console(), session.pacing, [&]() -> std::optional<QString> {
            // An empty resource has no program to splice into.
            if (!loader.LoadListResource(EffectResourceName(effect))) {
                loadError = loader.error();
                return std::nullopt;
            }
            return loader.CurrentList().value(0);
        });
    switch (imported.outcome) {
    case IrImportResult::Outcome::Stopped:
        return R::fail(Kind::File, step, loadError);
    case IrImportResult::Outcome::Refused:
        return R::fail(Kind::File, step, imported.refusal);
    case IrImportResult::Outcome::Spliced:
        break;
    }
    session.ir.IrProgramText = imported.program;
    session.ir.IrProgramEffect = effect;
    R result;
    result.value.summary = imported.summary;
    result.value.block = imported.block;
    return result;
}

} // namespace tovel

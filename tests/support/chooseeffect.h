#pragma once

#include "app/application.h"
#include "app/tformmain.h"
#include "app/effectbrowser.h"

#include <QListWidget>

namespace tovel::test {

// Clicks the category that lists the effect, then the effect, as a player does. False when no
// category lists it.
inline bool chooseEffect(Application &app, const QString &effect)
{
    TformMain &main = *app.formMain();
    for (int c = 0; c < main.lstCategory->count(); ++c) {
        main.lstCategory->setCurrentRow(c);
        app.browser().categoryClick(c);
        const auto found = main.lstEffects->findItems(effect, Qt::MatchExactly);
        if (!found.isEmpty()) {
            app.browser().effetto_cliccato(main.lstEffects->row(found.first()));
            return true;
        }
    }
    return false;
}

} // namespace tovel::test

// Settings > Look: the looks offered, the one remembered in Documents/ZANTH/style.txt.
#include "app/tformmain.h"

#include "app/application.h"
#include "core/errorboundary.h"
#include "core/seams.h"
#include "app/look/lookapplier.h"
#include "look/lookchoice.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace tovel {

namespace {
// After each entry's number: the look's ground and accent, as the player sees them.
constexpr const char *kLookNames[kMenuLooks] = {"Dark, red",       "Dark, amber",     "Dark, aqua",  "Dark, blue",
                                                "Grey, orange",    "Grey, gold",      "Light, blue"};
} // namespace

void TformMain::BuildLookMenu()
{
    // The entry of the look shown carries the check mark.
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < kMenuLooks; ++i) {
        auto *item = new QAction(QStringLiteral("&%1  %2").arg(i).arg(QLatin1String(kLookNames[i])), this);
        item->setCheckable(true);
        group->addAction(item);
        item->setObjectName(QStringLiteral("menuLook%1").arg(i));
        connectHandler(item, &QAction::triggered, this, m_app.prompts, [this, item] { menuLookClickItem(item); });
        LookItems.append(item);
        menuLook->addAction(item);
    }
}

void TformMain::ApplySavedLook()
{
    // A number no look has (negative, above 7) keeps the toolkit's look, without a message.
    const QString path = lookChoicePath(m_app.folders.documents());
    QString problem;
    const int look = savedLook(path, &problem);
    if (!problem.isEmpty())
        m_startupNotes.append(QStringLiteral("Look choice not read from %1: %2; look %3 is shown.")
                                  .arg(path, problem)
                                  .arg(kDefaultLook));
    applyLook(look);
    markLook(look);
}

void TformMain::markLook(int look)
{
    // Look 7, or a number without a look: no entry stands for what is shown, none is marked.
    for (int i = 0; i < LookItems.size(); ++i)
        LookItems[i]->setChecked(i == look);
}

void TformMain::menuLookClickItem(QObject *item)
{
    const int n = int(LookItems.indexOf(qobject_cast<QAction *>(item)));
    if (n < 0)
        return;
    // The look first: a choice that cannot be remembered still shows for this run.
    applyLook(n);
    markLook(n);
    if (const QString problem = saveLookChoice(lookChoicePath(m_app.folders.documents()), n); !problem.isEmpty())
        m_app.prompts.showMessage(problem);
}

} // namespace tovel

#include "actions/soundactions.h"

#include "core/nowidgets.h"

#include "actions/configactions.h"
#include "config/configurationfile.h"
#include "core/seams.h"
#include "session/editorsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tovel {

namespace {

using Kind = ActionFailure::Kind;

const QString kStep = QStringLiteral("saved sounds");

QString folderOf(EditorSession &session)
{
    return configurationFolder(session.folders.documents());
}

// The file of saved sound `name`, which must exist (or must not, with mustExist false).
ActionResult<QString> soundFile(EditorSession &session, const QString &name, bool mustExist)
{
    using R = ActionResult<QString>;
    QString problem;
    const QString path = savedSoundPath(folderOf(session), name, &problem);
    if (path.isEmpty())
        return R::fail(Kind::Invalid, kStep, problem.isEmpty() ? kNoDocumentsMessage : problem);
    const bool exists = QFileInfo(path).exists() || QFileInfo(path).isSymLink();
    if (mustExist && !exists)
        return R::fail(Kind::File, kStep, QStringLiteral("There is no saved sound named \"%1\".").arg(name));
    R result;
    result.value = path;
    return result;
}

} // namespace

ActionResult<QList<SavedSound>> savedSounds(EditorSession &session)
{
    using R = ActionResult<QList<SavedSound>>;
    const SettingsModel &model = session.settings();
    if (!model.isOpen())
        return R::fail(Kind::Invalid, kStep, QStringLiteral("No effect is open: choose one first."));
    const QString folder = folderOf(session);
    if (folder.isEmpty())
        return R::fail(Kind::File, kStep, kNoDocumentsMessage);
    R result;
    result.value = listSavedSounds(folder, model.rows().effect, model.rows().count(), model.rows().NumPots());
    return result;
}

ActionResult<QString> savedSoundTarget(EditorSession &session, const QString &name)
{
    ActionResult<QString> target = soundFile(session, name, false);
    if (!target || !QFileInfo::exists(target.value))
        return target;
    const QString question = QStringLiteral("A saved sound named \"%1\" exists already.\n\nReplace it?").arg(name);
    if (session.prompts.askYesNo(question) != Prompts::Answer::Yes)
        return ActionResult<QString>::fail(Kind::Refused, kStep, QString());
    return target;
}

ActionResult<QString> renameSound(EditorSession &session, const QString &from, const QString &to)
{
    using R = ActionResult<QString>;
    const ActionResult<QString> source = soundFile(session, from, true);
    if (!source)
        return source;
    const ActionResult<QString> target = soundFile(session, to, false);
    if (!target)
        return target;
    if (QFileInfo::exists(target.value) || QFileInfo(target.value).isSymLink())
        return R::fail(Kind::File, kStep, QStringLiteral("A saved sound named \"%1\" exists already.").arg(to));
    if (session.prompts.askYesNo(QStringLiteral("Rename the saved sound \"%1\" to \"%2\"?").arg(from, to))
        != Prompts::Answer::Yes)
        return R::fail(Kind::Refused, kStep, QString());
    QFile file(source.value);
    if (!file.rename(target.value))
        return R::fail(Kind::File, kStep,
                       QStringLiteral("\"%1\" was not renamed: %2").arg(from, file.errorString()));
    session.console().printToConsole(QStringLiteral("saved sound renamed: %1 -> %2").arg(source.value, target.value));
    return target;
}

ActionResult<Done> deleteSound(EditorSession &session, const QString &name)
{
    using R = ActionResult<Done>;
    const ActionResult<QString> file = soundFile(session, name, true);
    if (!file)
        return {file.failure, {}};
    const QString question = QStringLiteral("Delete the saved sound \"%1\"?\n\n%2 is removed from the disk.")
                                 .arg(name, QDir::toNativeSeparators(file.value));
    if (session.prompts.askBeforeIrreversible(question) != Prompts::Answer::Yes)
        return R::fail(Kind::Refused, kStep, QString());
    if (!QFile::remove(file.value))
        return R::fail(Kind::File, kStep, QStringLiteral("\"%1\" was not deleted.").arg(name));
    session.console().printToConsole(QStringLiteral("saved sound deleted: ") + file.value);
    return {};
}

} // namespace tovel

// Effect upload: Upload Selected Effect, and the hidden Upload File.
#include "actions/uploadactions.h"
#include "app/application.h"
#include "app/tformmain.h"
#include "core/seams.h"

#include <QLabel>

namespace tovel {

void TformMain::btnUploadClick()
{
    if (!showFailure(uploadRefusal(m_app.session())))
        return;
    if (m_app.prompts.askYesNo(QStringLiteral("Upload the selected effect?\n")
                               + m_app.session().selection.SelectedEffectName)
        == Prompts::Answer::No)
        return;
    actionStarted();
    const QString statusBefore = lblStatus->text();
    const ActionResult<QString> result =
        uploadSelectedEffect(m_app.session(), [this] { lblStatus->setText(QStringLiteral("Uploading...")); });
    // No status, or not a status: the label as it was (after a lost link, the window is as
    // after Disconnect).
    if (!showFailure(result.failure)) {
        lblStatus->setText(statusBefore);
        return;
    }
    lblStatus->setText(result.value);
}

void TformMain::btnUploadFileClick()
{
    const QString path = m_app.prompts.openFile(QString());
    if (path.isEmpty())
        return;
    showFailure(uploadProgramFile(m_app.session(), path).failure);
}

} // namespace tovel

#include "ir/normalisechoice.h"

#include "core/rememberedswitch.h"

#include <QDir>

namespace tovel {

QString normaliseChoicePath(const QString &documents)
{
    return documents.isEmpty() ? QString() : QDir(documents).filePath(QStringLiteral("ZANTH/normalise_ir.txt"));
}

bool loadNormaliseChoice(const QString &documents, QString *problem)
{
    return loadRememberedSwitch(normaliseChoicePath(documents), problem);
}

QString saveNormaliseChoice(const QString &documents, bool on)
{
    return saveRememberedSwitch(normaliseChoicePath(documents), on);
}

} // namespace tovel

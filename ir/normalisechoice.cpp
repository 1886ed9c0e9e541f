#include "ir/normalisechoice.h"

#include "core/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tovel {

QString normaliseChoicePath(const QString &documents)
{
    return QDir(documents).filePath(QStringLiteral("ZANTH/normalise_ir.txt"));
}

bool loadNormaliseChoice(const QString &documents, QString *problem)
{
    const QString path = normaliseChoicePath(documents);
    if (!QFileInfo::exists(path))
        return false;
    QFile file(path);
    if (const QString why = openRegularFile(file); !why.isEmpty()) {
        if (problem)
            *problem = why;
        return false;
    }
    return file.read(8).trimmed() == "1";
}

QString saveNormaliseChoice(const QString &documents, bool on)
{
    const QString path = normaliseChoicePath(documents);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("cannot create the folder of %1").arg(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(on ? "1" : "0") != 1 || !file.commit())
        return file.errorString();
    return QString();
}

} // namespace tovel

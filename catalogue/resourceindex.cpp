#include "catalogue/resourceindex.h"

#include <QDirIterator>
#include <QFileInfo>

namespace tovel {

ResourceIndex::ResourceIndex(const QString &root)
{
    QDirIterator it(root, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        m_paths.insert(QFileInfo(path).fileName().toLower(), path);
    }
}

QString ResourceIndex::path(const QString &name) const
{
    if (name.isEmpty())
        return QString();
    return m_paths.value(name.toLower());
}

QStringList ResourceIndex::names() const
{
    QStringList result;
    result.reserve(m_paths.size());
    for (const QString &path : m_paths)
        result.append(QFileInfo(path).fileName());
    result.sort();
    return result;
}

} // namespace tovel

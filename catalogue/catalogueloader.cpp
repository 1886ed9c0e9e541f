#include "catalogue/catalogueloader.h"

#include "catalogue/catalogueresources.h"
#include "catalogue/resourceindex.h"
#include "catalogue/resourcetext.h"

#include <QFile>

namespace tovel {

CatalogueLoader::CatalogueLoader() : CatalogueLoader(catalogueResources()) {}

CatalogueLoader::CatalogueLoader(const ResourceIndex &index) : m_index(index) {}

bool CatalogueLoader::LoadListResource(const QString &name)
{
    static const QString prefix = QStringLiteral("Error loading resource: ");
    m_error.clear();
    const QString path = m_index.path(name);
    if (path.isEmpty()) {
        m_error = prefix + QStringLiteral("Resource %1 not found").arg(name);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = prefix + file.errorString();
        return false;
    }
    m_currentList = splitLines(decodeResourceText(file.readAll()));
    return true;
}

} // namespace tovel

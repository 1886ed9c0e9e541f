#include "catalogue/catalogueloader.h"

#include "catalogue/catalogueresources.h"
#include "catalogue/resourceindex.h"
#include "catalogue/resourcetext.h"
#include "core/seams.h"

#include <QFile>

namespace tovel {

CatalogueLoader::CatalogueLoader(Prompts &prompts)
    : CatalogueLoader(prompts, catalogueResources())
{
}

CatalogueLoader::CatalogueLoader(Prompts &prompts, const ResourceIndex &index)
    : m_prompts(prompts), m_index(index)
{
}

bool CatalogueLoader::LoadListResource(const QString &name)
{
    static const QString prefix = QStringLiteral("Error loading resource: ");
    const QString path = m_index.path(name);
    if (path.isEmpty()) {
        m_prompts.showMessage(prefix + QStringLiteral("Resource %1 not found").arg(name));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_prompts.showMessage(prefix + file.errorString());
        return false;
    }
    m_currentList = splitLines(decodeResourceText(file.readAll()));
    return true;
}

} // namespace tovel

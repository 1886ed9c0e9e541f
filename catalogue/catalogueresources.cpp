#include "catalogue/catalogueresources.h"

#include "catalogue/resourceindex.h"

#include <QtGlobal>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void registerCatalogueResources()
{
    Q_INIT_RESOURCE(catalogue);
}

namespace tovel {

const ResourceIndex &catalogueResources()
{
    static const ResourceIndex index = [] {
        registerCatalogueResources();
        return ResourceIndex(QStringLiteral(":/catalogue"));
    }();
    return index;
}

} // namespace tovel

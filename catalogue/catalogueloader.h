#pragma once

#include <QStringList>

namespace tovel {

class ResourceIndex;

// Loads text resources of the catalogue as lines. It keeps exactly one list, CurrentList,
// shared by every reader: each reader loads right before it reads and keeps no lines across
// another load.
class CatalogueLoader {
public:
    // index: the resources to load from; by default the embedded catalogue.
    CatalogueLoader();
    explicit CatalogueLoader(const ResourceIndex &index);

    // Replaces CurrentList with the lines of the named resource (name without regard to case).
    // On failure leaves CurrentList as it was and returns false; error() says why ("Error
    // loading resource: " and the reason), for the caller to show where it shows failures.
    bool LoadListResource(const QString &name);
    const QString &error() const { return m_error; }

    const QStringList &CurrentList() const { return m_currentList; }

private:
    const ResourceIndex &m_index;
    QStringList m_currentList;
    QString m_error;
};

} // namespace tovel

#pragma once

#include <QStringList>

namespace tovel {

class Prompts;
class ResourceIndex;

// Loads text resources of the catalogue as lines. It keeps exactly one list, CurrentList,
// shared by every reader: each reader loads right before it reads and keeps no lines across
// another load.
class CatalogueLoader {
public:
    // index: the resources to load from; by default the embedded catalogue.
    explicit CatalogueLoader(Prompts &prompts);
    CatalogueLoader(Prompts &prompts, const ResourceIndex &index);

    // Replaces CurrentList with the lines of the named resource (name without regard to case).
    // On failure shows "Error loading resource: " and the reason, leaves CurrentList as it
    // was and returns false; the caller ends its operation there.
    bool LoadListResource(const QString &name);

    const QStringList &CurrentList() const { return m_currentList; }

private:
    Prompts &m_prompts;
    const ResourceIndex &m_index;
    QStringList m_currentList;
};

} // namespace tovel

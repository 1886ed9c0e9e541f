#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace tovel {

// Name lookup over one folder of embedded resources, without regard to case: callers ask for
// "gain" or "moss_verb_ctrls" while the resources are stored as GAIN and MOSS_VERB_CTRLS.
class ResourceIndex {
public:
    // root: a resource folder such as ":/catalogue"; its files are indexed by file name.
    explicit ResourceIndex(const QString &root);

    // The resource path of name, or an empty text when there is none.
    QString path(const QString &name) const;
    bool contains(const QString &name) const { return !path(name).isEmpty(); }
    // Stored names as they are written, sorted.
    QStringList names() const;

private:
    QHash<QString, QString> m_paths; // lower-case name -> resource path
};

} // namespace tovel

#include "look/lookresources.h"

#include "catalogue/resourceindex.h"

#include <QFile>

// Q_INIT_RESOURCE cannot be used inside a namespace.
static void registerStyleResources()
{
    Q_INIT_RESOURCE(styles);
}

namespace tovel {

namespace {
const ResourceIndex &styleResources()
{
    static const ResourceIndex index = [] {
        registerStyleResources();
        return ResourceIndex(QStringLiteral(":/styles"));
    }();
    return index;
}
} // namespace

QString lookResourceName(int n)
{
    return QStringLiteral("Style_") + QString::number(n);
}

std::optional<QString> lookStyleSheet(int n)
{
    const QString path = styleResources().path(lookResourceName(n));
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll());
}

} // namespace tovel

#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

namespace tovel {

// A bridge as the driver lists it: what Scan shows and Connect opens.
struct ListedBridge {
    QString serialNumber;
    QString description;
};

} // namespace tovel

Q_DECLARE_METATYPE(tovel::ListedBridge)

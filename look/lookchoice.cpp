#include "look/lookchoice.h"

#include "catalogue/resourcetext.h"
#include "core/regularfile.h"
#include "core/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tovel {

namespace {
// A number with a mark and a few blanks fits many times over; anything longer is not one.
constexpr qint64 kMaxChoiceBytes = 256;
} // namespace

QString lookChoicePath(const QString &documents)
{
    return documents.isEmpty() ? QString() : documents + QStringLiteral("/ZANTH/style.txt");
}

std::optional<int> parseLookChoice(const QByteArray &bytes)
{
    if (bytes.size() > kMaxChoiceBytes)
        return std::nullopt;
    const QString text = decodeResourceText(bytes).trimmed();
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return n;
}

int savedLook(const QString &path, QString *problem)
{
    QFile file(path);
    if (!QFileInfo::exists(path))
        return kDefaultLook;
    if (const QString why = openRegularFile(file); !why.isEmpty()) {
        if (problem)
            *problem = why;
        return kDefaultLook;
    }
    // One byte more than a choice may hold, so that a longer file is seen as such.
    const QByteArray bytes = file.read(kMaxChoiceBytes + 1);
    return parseLookChoice(bytes).value_or(kDefaultLook);
}

QString saveLookChoice(const QString &path, int n)
{
    if (path.isEmpty())
        return QStringLiteral("Cannot save the look: there is no Documents folder to keep it in.");
    if (const QString why = writeFileSafely(path, QByteArray::number(n)); !why.isEmpty())
        return QStringLiteral("Cannot save the look in \"%1\": %2").arg(QDir::toNativeSeparators(path), why);
    return QString();
}

} // namespace tovel

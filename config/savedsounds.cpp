#include "config/savedsounds.h"

#include "core/nowidgets.h"

#include "config/configurationfile.h"
#include "core/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tovel {

namespace {

const QString kSuffix = QStringLiteral(".txt");

bool fits(const QString &path, int numParams, int numPots)
{
    QFile file(path);
    // A pipe or a device among the files is never opened; an oversized file is no configuration.
    if (!openRegularFile(file).isEmpty() || file.size() > kMaxConfigurationBytes)
        return false;
    return ConfigurationReader(configurationLines(file.read(kMaxConfigurationBytes)), numParams, numPots).fitsLayout();
}

} // namespace

QList<SavedSound> listSavedSounds(const QString &folder, const QString &effect, int numParams, int numPots)
{
    QList<SavedSound> sounds;
    if (folder.isEmpty())
        return sounds;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &info : files) {
        SavedSound sound;
        sound.name = info.fileName().chopped(kSuffix.size());
        sound.path = info.filePath();
        sound.modified = info.lastModified();
        sound.ownFile = sound.name == effect;
        sound.fitsLayout = fits(sound.path, numParams, numPots);
        sounds.append(sound);
    }
    std::stable_partition(sounds.begin(), sounds.end(), [](const SavedSound &s) { return s.ownFile; });
    return sounds;
}

QString savedSoundPath(const QString &folder, const QString &name, QString *problem)
{
    const auto refuse = [&](const QString &why) {
        if (problem)
            *problem = why;
        return QString();
    };
    if (folder.isEmpty())
        return refuse(QStringLiteral("The documents folder is not known."));
    if (name.trimmed().isEmpty())
        return refuse(QStringLiteral("A saved sound needs a name."));
    if (name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return refuse(QStringLiteral("\"%1\" is not a name for a saved sound: it may not contain \"/\" or start "
                                     "with \".\".").arg(name));
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return refuse(QStringLiteral("A saved sound's name may not contain control characters."));
    if (name.size() > 200)
        return refuse(QStringLiteral("A saved sound's name may have at most 200 characters."));
    if (problem)
        problem->clear();
    return QDir(folder).filePath(name + kSuffix);
}

SavedSoundsWatch::SavedSoundsWatch(QObject *parent) : QObject(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &SavedSoundsWatch::refresh);
}

void SavedSoundsWatch::follow(const QString &folder, const QString &effect, int numParams, int numPots)
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_folder = folder;
    m_effect = effect;
    m_numParams = numParams;
    m_numPots = numPots;
    if (!folder.isEmpty() && !effect.isEmpty() && QFileInfo(folder).isDir())
        m_watcher.addPath(folder);
    refresh();
}

void SavedSoundsWatch::refresh()
{
    m_sounds = m_effect.isEmpty() ? QList<SavedSound>{} : listSavedSounds(m_folder, m_effect, m_numParams, m_numPots);
    emit changed();
}

} // namespace tovel

#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>

namespace tovel {

// A configuration file in the folder where Save Configuration and Save As put them, as the
// list of saved sounds shows it for the open effect.
struct SavedSound {
    QString name; // the file's name without ".txt"
    QString path;
    QDateTime modified;
    bool ownFile = false;    // the one Save Configuration writes for this effect
    bool fitsLayout = false; // false: saved for another effect or layout (or no configuration
                             // at all); a load asks first, as Load From does
};

// The configuration files (".txt") of `folder`, the effect's own one first, then by name;
// each checked against the layout of `numParams` rows, `numPots` of them pots.
QList<SavedSound> listSavedSounds(const QString &folder, const QString &effect, int numParams, int numPots);

// The file of the saved sound `name` in `folder`: NAME.txt. Empty when `name` is no plain file
// name (empty, a path, hidden, a control character), with the reason in `problem`.
QString savedSoundPath(const QString &folder, const QString &name, QString *problem = nullptr);

// The list of one effect's saved sounds, kept as the folder changes (a file saved, renamed or
// removed, by the editor or anything else).
class SavedSoundsWatch : public QObject {
    Q_OBJECT

public:
    explicit SavedSoundsWatch(QObject *parent = nullptr);

    // Follows `folder` for the effect of that layout; an empty effect lists nothing.
    void follow(const QString &folder, const QString &effect, int numParams, int numPots);
    const QList<SavedSound> &sounds() const { return m_sounds; }
    const QString &folder() const { return m_folder; }
    // Lists the folder again now.
    void refresh();

signals:
    void changed();

private:
    QFileSystemWatcher m_watcher;
    QString m_folder;
    QString m_effect;
    int m_numParams = 0;
    int m_numPots = 0;
    QList<SavedSound> m_sounds;
};

} // namespace tovel

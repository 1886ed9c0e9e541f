#pragma once

#include "config/savedsounds.h"
#include "core/actionfailure.h"

#include <QWidget>
#include <functional>

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tovel {

class EditorSession;

// "Saved Sounds": the configuration files of the chosen effect in their folder, with their
// dates, kept as the folder changes. Double-click or Load loads one (a file of another layout
// is marked, and its load asks first as Load From does); Save As New saves the pedal's settings
// under the name typed; Rename edits the name in place; Delete asks first.
class SavedSoundsList : public QWidget {
    Q_OBJECT

public:
    explicit SavedSoundsList(EditorSession &session, QWidget *parent = nullptr);

    // What loading and saving a file does in the main window (its messages, its status line).
    std::function<void(const QString &path)> onLoad;
    std::function<void(const QString &path)> onSave;

    // The open rows' effect and folder, listed anew.
    void follow();
    const SavedSoundsWatch &watch() const { return m_watch; }

    QTreeWidget *lstSounds;
    QLineEdit *edtName;
    QPushButton *btnLoad, *btnSave, *btnRename, *btnDelete;

    void loadSelected();
    void saveNew();
    void renameSelected();
    void deleteSelected();

private:
    void draw();
    void renamed(QTreeWidgetItem *item);
    QString selectedName() const;
    void showFailure(const ActionFailure &failure);

    EditorSession &m_session;
    SavedSoundsWatch m_watch;
    bool m_drawing = false;
};

} // namespace tovel

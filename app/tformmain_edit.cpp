// Edit: undo and redo of the player's changes to the rows, Compare with a kept set, Revert to
// the pedal's settings, and the list of saved sounds.
#include "actions/undoactions.h"
#include "app/application.h"
#include "app/savedsoundslist.h"
#include "app/tformfxparameters.h"
#include "app/tformmain.h"
#include "core/errorboundary.h"
#include "session/editorsession.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QTreeWidget>

namespace tovel {

void TformMain::buildEditMenu()
{
    EditorSession &session = m_app.session();
    UndoStack &stack = session.undoStack();
    menuEdit = new QMenu(QStringLiteral("&Edit"), MenuBar1);
    menuEdit->setObjectName(QStringLiteral("menuEdit"));
    MenuBar1->insertMenu(menuConnection->menuAction(), menuEdit);
    auto entry = [this](const char *name, const QString &text, const QKeySequence &key = {}) {
        QAction *a = menuEdit->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        return a;
    };
    menuUndo = entry("menuUndo", QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    menuRedo = entry("menuRedo", QStringLiteral("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    menuEdit->addSeparator();
    menuCompare = entry("menuCompare", QStringLiteral("&Compare"), QKeySequence(Qt::CTRL | Qt::Key_K));
    menuCompare->setCheckable(true);
    menuCompareWith = menuEdit->addMenu(QStringLiteral("Compare &With"));
    menuCompareWith->setObjectName(QStringLiteral("menuCompareWith"));
    auto *sets = new QActionGroup(this);
    const auto setEntry = [&](const char *name, const QString &text, CompareSet set) {
        QAction *a = menuCompareWith->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(true);
        a->setData(int(set));
        sets->addAction(a);
        return a;
    };
    menuCompareRead = setEntry("menuCompareRead", QStringLiteral("Settings Last &Read From the Pedal"), CompareSet::Read);
    menuCompareStored = setEntry("menuCompareStored", QStringLiteral("Settings Last &Stored On the Pedal"), CompareSet::Stored);
    menuCompareLoaded = setEntry("menuCompareLoaded", QStringLiteral("Settings Last &Loaded From a File"), CompareSet::Loaded);
    menuCompareRead->setChecked(true);
    menuEdit->addSeparator();
    menuRevert = entry("menuRevert", QStringLiteral("Re&vert to the Pedal's Settings..."));
    menuSavedSounds = entry("menuSavedSounds", QStringLiteral("Saved &Sounds..."), QKeySequence(Qt::CTRL | Qt::Key_L));

    // Beside the "?" button: a click plays the other set, the arrow chooses which.
    btnCompare = new QToolButton(this);
    btnCompare->setObjectName(QStringLiteral("btnCompare"));
    btnCompare->setGeometry(8, 450, 146, 22);
    btnCompare->setDefaultAction(menuCompare);
    btnCompare->setMenu(menuCompareWith);
    btnCompare->setPopupMode(QToolButton::MenuButtonPopup);
    btnCompare->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnCompare->setAccessibleName(QStringLiteral("Compare"));
    btnCompare->setToolTip(QStringLiteral("Plays the settings last read from the pedal (or stored on it, or loaded "
                                          "from a file: the arrow chooses), then the edited ones again (Ctrl+K)."));
    setTabOrder(btnStoreSettingsOnPedal, btnCompare);

    const auto chosenSet = [this] {
        for (QAction *a : {menuCompareRead, menuCompareStored, menuCompareLoaded})
            if (a->isChecked())
                return CompareSet(a->data().toInt());
        return CompareSet::Read;
    };
    const auto failed = [this](const ActionResult<Done> &result) { showFailure(result.failure); };
    connectHandler(menuUndo, &QAction::triggered, this, m_app.prompts, [this, failed] { failed(undoStep(m_app.session())); });
    connectHandler(menuRedo, &QAction::triggered, this, m_app.prompts, [this, failed] { failed(redoStep(m_app.session())); });
    connectHandler(menuCompare, &QAction::triggered, this, m_app.prompts, [this, failed, chosenSet](bool on) {
        EditorSession &session = m_app.session();
        failed(on ? compareWith(session, chosenSet()) : endCompare(session));
        menuCompare->setChecked(session.undoStack().comparing());
    });
    // Another set chosen while comparing: the pedal plays that one.
    connectHandler(sets, &QActionGroup::triggered, this, m_app.prompts, [this, failed, chosenSet] {
        EditorSession &session = m_app.session();
        if (session.undoStack().comparing())
            failed(compareWith(session, chosenSet()));
        showComparing(session.undoStack().comparing());
    });
    connectHandler(menuRevert, &QAction::triggered, this, m_app.prompts, [this, failed] { failed(revertToPedal(m_app.session())); });
    bind(menuSavedSounds, &QAction::triggered, &TformMain::menuSavedSoundsClick);

    menuUndo->setEnabled(false);
    menuRedo->setEnabled(false);
    connect(&stack, &UndoStack::canUndoChanged, menuUndo, &QAction::setEnabled);
    connect(&stack, &UndoStack::canRedoChanged, menuRedo, &QAction::setEnabled);
    connect(&stack, &UndoStack::compareChanged, this, &TformMain::showComparing);
    // Compare once there is a set to play, Revert once the pedal's settings have been read.
    const auto setsKept = [this] {
        const UndoStack &stack = m_app.session().undoStack();
        menuRevert->setEnabled(stack.kept(CompareSet::Read).has_value());
        menuCompare->setEnabled(stack.comparing() || stack.kept(CompareSet::Read) || stack.kept(CompareSet::Stored)
                                || stack.kept(CompareSet::Loaded));
    };
    connect(&stack, &UndoStack::keptChanged, this, setsKept);
    connect(&stack, &UndoStack::compareChanged, this, setsKept);
    setsKept();
}

void TformMain::showComparing(bool comparing)
{
    const UndoStack &stack = m_app.session().undoStack();
    menuCompare->setChecked(comparing);
    TformFXParameters *parameters = m_app.formFXParameters();
    if (comparing) {
        const QString set = compareSetName(*stack.compared());
        if (parameters && m_captionBeforeCompare.isEmpty())
            m_captionBeforeCompare = parameters->windowTitle();
        if (parameters)
            parameters->setWindowTitle(QStringLiteral("%1 (Compare: playing the %2 settings)").arg(m_captionBeforeCompare, set));
        showActionStatus(QStringLiteral("Compare: the pedal plays the %1 settings; Compare again for the edited ones.").arg(set));
        return;
    }
    if (parameters && !m_captionBeforeCompare.isEmpty())
        parameters->setWindowTitle(m_captionBeforeCompare);
    m_captionBeforeCompare.clear();
    showActionStatus(QStringLiteral("The pedal plays the edited settings."));
}

void TformMain::menuSavedSoundsClick()
{
    if (!m_savedSounds) {
        m_savedSounds = new SavedSoundsList(m_app.session(), this);
        m_savedSounds->onLoad = [this](const QString &path) { loadConfigurationFrom(path); };
        m_savedSounds->onSave = [this](const QString &path) { saveConfigurationTo(path); };
        m_savedSounds->addActions(windowShortcuts());
        // Beside the parameter window when it shows (else beside this one), below it where the
        // screen has no room there, and on the screen in any case.
        const QWidget *besides = m_app.formFXParameters() && m_app.formFXParameters()->isVisible()
                                     ? static_cast<const QWidget *>(m_app.formFXParameters())
                                     : this;
        const QRect room = (besides->screen() ? besides->screen() : QGuiApplication::primaryScreen())->availableGeometry();
        const QRect frame = besides->frameGeometry();
        const QSize size = m_savedSounds->frameGeometry().size();
        QPoint at = frame.topRight() + QPoint(1, 0);
        if (at.x() + size.width() > room.right() + 1 && frame.bottom() + size.height() < room.bottom())
            at = frame.bottomLeft() + QPoint(0, 1);
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
        m_savedSounds->move(at);
    }
    m_savedSounds->show();
    m_savedSounds->raise();
    m_savedSounds->activateWindow();
    m_savedSounds->lstSounds->setFocus();
}

} // namespace tovel

#pragma once

#include <QList>
#include <QObject>

class QAbstractButton;
class QAction;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace tovel {

class EditorSession;
class TformFXParameters;
class tformFXInfo;

// The main window's controls the browser drives.
struct BrowserControls {
    QWidget *mainWindow;      // the parameter window opens at its right edge
    QListWidget *lstCategory; // seven rows, one per CategoryTable row
    QListWidget *lstEffects;
    QAbstractButton *btnGetFXInfo;
    QAction *menuLoadIR;
};

// Puts one row per category into the list, in CategoryTable order, and returns them.
QList<QListWidgetItem *> createCategoryRows(QListWidget *lstCategory);

// The effect browser: the category list, the effect list of the category clicked last, and
// the "?" button. Clicking an effect selects it for the whole editor and opens the parameter
// window for it.
class EffectBrowser : public QObject {
    Q_OBJECT

public:
    // Connects the clicks of lstCategory, lstEffects and btnGetFXInfo to the handlers below.
    EffectBrowser(const BrowserControls &controls, EditorSession &session, tformFXInfo &infoWindow,
                  TformFXParameters &parameterWindow, QObject *parent = nullptr);

    // A click on row `row` of lstCategory.
    void categoryClick(int row);
    void lstGainClick() { categoryClick(0); }
    void lstModulationClick() { categoryClick(1); }
    void lstSynthesisClick() { categoryClick(2); }
    void lstFilterClick() { categoryClick(3); }
    void lstDynamicClick() { categoryClick(4); }
    void lstIRClick() { categoryClick(5); }
    void lstOtherClick() { categoryClick(6); }

    // A click on row `row` of lstEffects.
    void effetto_cliccato(int row);
    void btnGetFXInfoClick();

    // Appends every line of CurrentList to lstEffects.
    void FillEffectList();
    // Selects the pedal's effect if CurrentList (the list of category `category`, already
    // shown in lstEffects) names it: the category row and the effect row. False if it does not.
    bool SelectEffectByName(int category);
    // Shows where the pedal's effect lives: each category's list in turn until one names
    // PedalEffectName (its rows stay shown, category and effect selected). If none does, the
    // effect list is left empty and the category selection unchanged.
    void pointAtPedalEffect();

private:
    // The click's work; activateParameters false keeps the focus where it is.
    void chooseEffect(int row, bool activateParameters);
    // An effect chosen by name (a script, a test) shown as the player's two clicks would show it.
    void showSelection(int category, int row, bool opened);
    // The windows after a choice: the parameter window opened, the problem with its rows said.
    void showChosenEffect(bool opened, bool activateParameters);

    BrowserControls m_controls;
    EditorSession &m_session;
    tformFXInfo &m_infoWindow;
    TformFXParameters &m_parameterWindow;
    // The category whose list lstEffects shows, -1 for none.
    int m_shownCategory = -1;
};

} // namespace tovel

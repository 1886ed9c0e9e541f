#pragma once

#include "params/controllayout.h"

#include <QWidget>

namespace tovel {

class CatalogueLoader;
class Console;
class Prompts;
struct MainState;

// The parameter window: one row per parameter of the selected effect, built from its control
// layout every time the window is shown.
class TformFXParameters : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 499;
    static constexpr int kRowPitch = 25; // pixels from one row to the next
    static constexpr int kTopMargin = 10;

    TformFXParameters(CatalogueLoader &loader, MainState &state, Console &console,
                      Prompts &prompts, QWidget *parent = nullptr);

    // Height that fits NumParams rows: (NumParams + 2) x 25 + 10.
    static int heightForParams(int numParams);

    // Opens the window for the selected effect beside mainWindow: closes it if it shows,
    // puts its left edge at mainWindow's right edge and its top at mainWindow's top, sets the
    // caption, shows it (which builds it) and sizes it for the rows just built.
    void openBeside(const QWidget &mainWindow, const QString &caption);

    // Reads the selected effect's layout ("<base>_ctrls") into the layout state. False when
    // the resource did not load (the loader has said so); throws EditorError for an invalid
    // count line.
    bool LoadControlLayout();

    const ControlLayout &layout() const { return m_layout; }
    int NumParams() const { return m_layout.NumParams; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    CatalogueLoader &m_loader;
    MainState &m_state;
    Console &m_console;
    Prompts &m_prompts;
    ControlLayout m_layout;
};

} // namespace tovel

#pragma once

#include "params/controllayout.h"
#include "params/paramrows.h"
#include "protocol/commands.h"

#include <QWidget>
#include <array>
#include <utility>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QSlider;

namespace tovel {

class CatalogueLoader;
class CommandExchange;
class Console;
class Prompts;
class ToggleSwitch;
struct MainState;
struct ParamTables;

// The parameter window: one row per parameter of the selected effect, built from its control
// layout and program every time the program shows the window, destroyed when it closes.
// Row controls live in 24-entry tables indexed by row; an entry is null when the row has no
// such control or the window is closed, and code that sets rows skips null entries.
class TformFXParameters : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 499;
    static constexpr int kRowPitch = 25; // pixels from one row to the next
    static constexpr int kTopMargin = 10;
    static constexpr int kRows = ControlLayout::kMaxParams;
    static constexpr double kDividerPitch = 24.5; // divider height per row, in pixels

    TformFXParameters(CatalogueLoader &loader, MainState &state, ParamTables &tables,
                      CommandExchange &exchange, Console &console, Prompts &prompts,
                      QWidget *parent = nullptr);

    // Outer height (frame included) that fits NumParams rows: (NumParams + 2) x 25 + 10.
    static int heightForParams(int numParams);
    // Client height for NumParams rows under a frame frameHeight pixels tall (title bar and
    // borders): the outer height less the frame, never cutting the last row. With no frame
    // known (0), the rows with a bottom margin equal to the top one.
    static int clientHeightForParams(int numParams, int frameHeight);
    // The divider's exact height, NumParams x 24.5; the line is drawn at this rounded to
    // whole pixels, half up (73.5 draws 74).
    static double dividerHeight(int numParams);

    // Opens the window for the selected effect beside mainWindow: closes it if it shows,
    // puts its left edge at mainWindow's right edge and its top at mainWindow's top, sets the
    // caption, shows it (which builds it) and sizes it for the rows just built.
    void openBeside(const QWidget &mainWindow, const QString &caption);

    // Builds the rows in nine steps (layout, addresses, pots, switches, multi-switches,
    // assignment boxes, divider, reverse boxes, limit buttons). A resource that does not load
    // stops building at its step; the rows built so far stay.
    void OnShow();
    // Destroys every row control and clears the control tables; the layout state stays.
    // Reports rowsClosed, rows or not.
    void OnClose();

    // Every row control enabled or not; then each pot row's limit buttons follow IsAssigned,
    // whatever aEnable is.
    void EnableDisableControls(bool aEnable);

    // While an exchange with the pedal runs, the limit buttons (which send commands of their
    // own) wait; the rows stay usable, their values sent when the exchange ends. A row the
    // player changes meanwhile keeps the player's value: the answer of that exchange does not
    // set it back.
    void setExchangeRunning(bool running);
    // What of a row the player has changed since the running exchange began.
    enum RowPart { Level = 1, PedalControl = 2, Reverse = 4 };
    bool movedDuringExchange(int row, RowPart part) const;

    // While one lives, the program sets the rows (an answer, a file): their changes are not
    // the player's.
    class ProgramSetsRows {
    public:
        explicit ProgramSetsRows(TformFXParameters &window)
            : m_window(window), m_was(std::exchange(window.m_programSetsRows, true)) {}
        ~ProgramSetsRows() { m_window.m_programSetsRows = m_was; }
        ProgramSetsRows(const ProgramSetsRows &) = delete;
        ProgramSetsRows &operator=(const ProgramSetsRows &) = delete;

    private:
        TformFXParameters &m_window;
        bool m_was;
    };
    // Counts the builds and closes: an answer asked for one build is not for another.
    int buildCount() const { return m_buildCount; }

    // Reads the selected effect's layout ("<base>_ctrls") into the layout state. False when
    // the resource did not load (the loader has said so); throws EditorError for an invalid
    // count line.
    bool LoadControlLayout();
    // Reads the 24 pedal addresses from the first line of the selected effect's program.
    bool LoadParamAddresses();

    const ControlLayout &layout() const { return m_layout; }
    int NumParams() const { return m_layout.NumParams; }
    int NumPots() const { return m_layout.NumPots; }
    int NumSwitches() const { return m_layout.NumSwitches; }
    int NumMultiSwitches() const { return m_layout.NumMultiSwitches; }
    // Row handlers: each finds its row by searching its table for the control.
    void PotParameterChange(QObject *control);
    void SwitchParameterClick(QObject *control);
    void MultiSwitchOnChange(QObject *control);
    void boxAssignOnChange(QObject *control);
    void btnMinClick(QObject *control);
    void btnMaxClick(QObject *control);
    void ClearMinMaxClick(QObject *control);
    // What a limit button does to its pot row.
    enum class LimitAction { Minimum, Maximum, Clear };
    // Pot row's limit from where its slider stands, or both cleared. A minimum above the
    // maximum (or the reverse) is refused with a message.
    void SetLimit(int row, LimitAction action);
    // One ParameterLimit command for the row number (not the pedal address).
    void SendLimit(int row, int level, LimitKind kind);
    // The row's caption label shows the on or off caption, as its switch stands.
    void ShowSwitchState(int row);
    // A limit button's enabled state, held back while an exchange runs.
    void enableLimitButton(QPushButton *button, bool enable);
    // A limit button's caption, and the same as its accessible description.
    void setLimitCaption(QPushButton *button, const QString &caption);

    // The state answer's bytes (one per number) onto the rows and the tables: levels,
    // assignments, reverse flags, limits of the pot rows.
    void ApplyReceivedValues(const QList<quint8> &bytes);
    void ApplyAssignments(const QList<quint8> &bytes);
    void ApplyReverse(const QList<quint8> &bytes);
    void ApplyLimits(const QList<quint8> &bytes);
    // Which rows' reverse boxes are ticked (false for rows without one).
    std::array<bool, kRows> reverseFlags() const;

    // Layout state, rewritten at every show and kept after close.
    std::array<QString, kRows> SwitchOffText;
    std::array<QString, kRows> SwitchOnText;
    std::array<int, kRows> OptionCount{};
    std::array<QString, kRows> ParamAddress;

    // Row controls; the window owns them.
    std::array<QLabel *, kRows> lblParamName{};
    std::array<QSlider *, kRows> trkPot{};
    std::array<ToggleSwitch *, kRows> swSwitch{};
    std::array<QLabel *, kRows> lblSwitchState{};
    std::array<QComboBox *, kRows> cmbMultiSwitch{};
    std::array<QComboBox *, kRows> boxAssign{};
    std::array<QCheckBox *, kRows> chkReverse{};
    std::array<QPushButton *, kRows> btnMin{};
    std::array<QPushButton *, kRows> btnMax{};
    std::array<QPushButton *, kRows> btnClearMinMax{};
    QFrame *lineDivider = nullptr;

signals:
    // The rows have been destroyed by a close: the main window disables Request and Assign.
    void rowsClosed();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildPots();
    void BuildSwitches();
    void BuildMultiSwitches();
    void BuildAssignBoxes();
    void BuildDivider();
    void BuildReverseBoxes();
    void BuildLimitButtons();
    // Traces and writes one ParameterValue command for the row; `what` names the row kind in
    // the trace ("pot", "switch", "multiswitch").
    void sendLevel(int row, int level, const QString &what, bool scrollConsole);
    void destroyRows();
    // Frame height the window manager reports (0 while hidden or without a frame), and the
    // client height set for it.
    int knownFrameHeight() const;
    void fitHeight();
    // Places a row control and names it for screen readers: the row's name, then `what`.
    template <typename W>
    W *placeRow(W *control, int row, int x, int width, const QString &what = QString());
    QString rowName(int row) const;
    // The row's name for screen readers: never empty, unique among the rows.
    QString accessibleRowName(int row) const;

    CatalogueLoader &m_loader;
    MainState &m_state;
    ParamTables &m_tables;
    CommandExchange &m_exchange;
    Console &m_console;
    Prompts &m_prompts;
    ControlLayout m_layout;
    bool m_exchangeRunning = false;
    bool m_programSetsRows = false;
    std::array<int, kRows> m_playerMoved{}; // RowPart bits, during the running exchange
    void notePlayerChange(int row, RowPart part);
    int m_buildCount = 0;
    bool m_sized = false;   // an opener has sized the window once
    int m_fittedFrame = 0;  // the frame height the client height was fitted to
};

} // namespace tovel

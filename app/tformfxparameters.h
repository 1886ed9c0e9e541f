#pragma once

#include "actions/pedalactions.h"
#include "params/controllayout.h"
#include "params/effectrows.h"

#include <QRect>
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;

namespace tovel {

class EditorSession;
class SettingsModel;
class ToggleSwitch;
class PlaceWhenFramed;


// The parameter window: one row per parameter of the chosen effect, drawn from the session's
// settings model, built every time the program shows the window and destroyed when it closes.
// Row controls live in 24-entry tables indexed by row; an entry is null when the row has no
// such control or the window is closed. A move of a control is the player's: it goes to an
// action; a change of the model (an answer, a file) is drawn without any control reporting it.
class TformFXParameters : public QWidget {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 499;
    static constexpr int kRowPitch = 25; // pixels from one row to the next
    static constexpr int kTopMargin = 10;
    static constexpr int kRows = ControlLayout::kMaxParams;
    static constexpr double kDividerPitch = 24.5; // divider height per row, in pixels

    explicit TformFXParameters(EditorSession &session, QWidget *parent = nullptr);

    // Outer height (frame included) that fits NumParams rows: (NumParams + 2) x 25 + 10.
    static int heightForParams(int numParams);
    // Client height for NumParams rows under a frame frameHeight pixels tall (title bar and
    // borders): the outer height less the frame, never cutting the last row. With no frame
    // known (0), the rows with a bottom margin equal to the top one.
    static int clientHeightForParams(int numParams, int frameHeight);
    // The divider's exact height, NumParams x 24.5; the line is drawn at this rounded to
    // whole pixels, half up (73.5 draws 74).
    static double dividerHeight(int numParams);

    // Opens the window for the chosen effect beside mainWindow: closes it if it shows, puts its
    // left edge at mainWindow's right edge and its top at mainWindow's top, sets the caption,
    // shows it (which builds it) and sizes it for the rows just built.
    // activate false: shown without taking the focus from the window the player is in.
    void openBeside(const QWidget &mainWindow, const QString &caption, bool activate = true);
    // Settings > Show Levels and Headings: each pot's level as a number beside its slider,
    // and a line of headings; off, the window as it always was. Remembered in the file at
    // levelsChoicePath.
    bool levelsShown() const { return m_levelsShown; }
    void setLevelsShown(bool shown);
    static QString levelsChoicePath(const QString &documents);
    // The client width the rows want, levels shown or not.
    int wantedClientWidth() const { return rowsAreaWidth(); }

    // The keyboard in the rows: where it was in them last, else the first row's first control.
    void focusRows();

    // The rows are taller than the screen let the window be: they scroll up and down.
    bool rowsScroll() const;
    // The window is narrower than its rows (no room beside the main window): they scroll across.
    bool rowsCutAcross() const;
    // The parent of every row control, inside the window's scroll area.
    QWidget *rowsArea() const { return m_rowsArea; }

    // Builds the controls of the rows the session opened for the chosen effect (pots,
    // switches, lists, then the assignment boxes, divider, reverse boxes, limit buttons). A
    // resource that did not load leaves no rows: without the program no row is built.
    void OnShow();
    // Destroys every row control; unless the window is being shown anew, the session closes the
    // rows (the layout stays known) and rowsClosed is reported, rows or not.
    void OnClose();

    // Every row control as the session's state allows it (rowUse): usable rows hold the
    // settings read from the effect the pedal runs, over a link to its effect firmware; limit
    // buttons only on such a pot row with a pedal control chosen. Runs whenever that state
    // changes.
    void EnableDisableControls();

    // While an exchange with the pedal runs, the limit buttons (which send commands of their
    // own) wait; the rows stay usable, their values sent when the exchange ends.
    void setExchangeRunning(bool running);
    // Counts the builds and closes: an answer asked for one build is not for another.
    int buildCount() const;

    const ControlLayout &layout() const { return rows().layout; }
    int NumParams() const { return rows().NumParams(); }
    int NumPots() const { return rows().NumPots(); }
    int NumSwitches() const { return rows().NumSwitches(); }
    int NumMultiSwitches() const { return rows().layout.NumMultiSwitches; }
    // Row handlers: each finds its row by searching its table for the control.
    void PotParameterChange(QObject *control);
    void SwitchParameterClick(QObject *control);
    void MultiSwitchOnChange(QObject *control);
    void boxAssignOnChange(QObject *control);
    void chkReverseClick(QObject *control);
    void btnMinClick(QObject *control);
    void btnMaxClick(QObject *control);
    void ClearMinMaxClick(QObject *control);
    // A level typed in a pot row's number box.
    void levelTyped(QObject *control);
    using LimitAction = ::tovel::LimitAction;
    // Pot row's limit from where its slider stands, or both cleared. A minimum above the
    // maximum (or the reverse) is refused with a message.
    void SetLimit(int row, LimitAction action);
    // The row's caption label shows the on or off caption, as its switch stands.
    void ShowSwitchState(int row);
    // A limit button's enabled state, held back while an exchange runs.
    void enableLimitButton(QPushButton *button, bool enable);

    // The open effect's rows, as the model holds them (kept after a close).
    const std::array<QString, kRows> &SwitchOffText;
    const std::array<QString, kRows> &SwitchOnText;
    const std::array<int, kRows> &OptionCount;
    const std::array<QString, kRows> &ParamAddress;

    // Row controls; the window owns them.
    std::array<QLabel *, kRows> lblParamName{};
    std::array<QSlider *, kRows> trkPot{};
    // The pot's level as a number to read and type: shown with the levels and headings.
    std::array<QSpinBox *, kRows> spnLevel{};
    std::array<ToggleSwitch *, kRows> swSwitch{};
    std::array<QLabel *, kRows> lblSwitchState{};
    std::array<QComboBox *, kRows> cmbMultiSwitch{};
    std::array<QComboBox *, kRows> boxAssign{};
    std::array<QCheckBox *, kRows> chkReverse{};
    std::array<QPushButton *, kRows> btnMin{};
    std::array<QPushButton *, kRows> btnMax{};
    std::array<QPushButton *, kRows> btnClearMinMax{};
    QFrame *lineDivider = nullptr;
    QList<QLabel *> lblHeadings; // the column headings, with the levels shown

signals:
    // The rows have been destroyed by a close: the main window disables Request and Assign.
    void rowsClosed();

protected:
    // A row control greyed or made usable: its tooltip follows.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    const EffectRows &rows() const;
    void BuildPots();
    void BuildSwitches();
    void BuildMultiSwitches();
    void BuildAssignBoxes();
    void BuildDivider();
    void BuildReverseBoxes();
    void BuildLimitButtons();
    void destroyRows();
    void orderTabs();
    // Tooltips on every row control: what it does, and why it is greyed while it is.
    void explainControls();
    // The pot row's slider tells its level: tooltip (shown while it is dragged).
    void showLevel(int row);
    // Draws what the model holds of a row, without any control reporting a change.
    void drawRow(int row, int parts);
    // A limit button's caption, and the same as its accessible description.
    void setLimitCaption(QPushButton *button, const QString &caption);
    // Shows a failed action's message, if it has one.
    template <typename Result>
    void showResult(const Result &result);
    // Sizes the window for its rows under `frame` (the manager's, null while unknown) and says
    // where its frame goes: beside the main window, cut where the screen has no room for it.
    QRect fitBeside(const QMargins &frame);
    // The client area for rows of that size, cut to `room` with scroll bars where they do not fit.
    void setClientSize(int rowsWidth, int rowsHeight, const QSize &room);
    int rowsAreaWidth() const;
    int headingHeight() const;
    // Where a column's controls stand, and the first row's top: further right and lower with
    // the levels and headings shown.
    int columnX(int x) const;
    int rowsTop() const;
    void buildLevels();
    void buildHeadings();
    // The limit buttons' tooltips: what each does, and the level its caption stands for.
    void explainLimits(int row);
    // Places a row control and names it for screen readers: the row's name, then `what`.
    template <typename W>
    W *placeRow(W *control, int row, int x, int width, const QString &what = QString());

    EditorSession &m_session;
    SettingsModel &m_model;
    bool m_exchangeRunning = false;
    bool m_levelsShown = false;
    bool m_drawing = false; // the model is being drawn: control changes are not the player's
    bool m_reopening = false; // closed by openBeside, to be shown again at once
    QScrollArea *m_scroll = nullptr;
    QWidget *m_rowsArea = nullptr; // the rows' parent, inside m_scroll
    QRect m_available;             // the main window's screen, as of the last placing
    const QWidget *m_mainWindow = nullptr; // the window it opens beside
    PlaceWhenFramed *m_placer = nullptr;
    int m_fittedFrame = 0;  // the frame height the client height was fitted to
};

} // namespace tovel

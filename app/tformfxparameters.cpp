#include "app/tformfxparameters.h"
#include "app/failuretext.h"

#include "actions/pedalactions.h"
#include "core/errorboundary.h"
#include "core/rememberedswitch.h"
#include "core/seams.h"
#include "app/pedalstatetext.h"
#include "app/rowuse.h"
#include "app/toggleswitch.h"
#include "app/windowplacement.h"
#include "params/paramtables.h"
#include "params/settingsmodel.h"
#include "protocol/commandexchange.h"
#include "session/editorsession.h"

#include <QCheckBox>
#include <QDir>
#include <QSignalBlocker>
#include <QCloseEvent>
#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QToolTip>
#include <QCursor>

#include <algorithm>
#include <cmath>

namespace tovel {

namespace {

constexpr int kRowHeight = 20;
constexpr int kNameX = 10, kNameWidth = 100;
constexpr int kSwitchStateX = 120, kSwitchStateWidth = 100;
constexpr int kValueX = 160, kValueWidth = 100; // slider, drop-down list
constexpr int kSwitchX = 190, kSwitchWidth = 40;
constexpr int kDividerX = 280;
constexpr int kAssignX = 300, kAssignWidth = 50;
constexpr int kReverseX = 360, kReverseWidth = 20;
constexpr int kMinX = 385, kMaxX = 430, kLimitWidth = 40;
constexpr int kClearX = 475, kClearWidth = 20;
// With the levels shown: the level's number right of the slider, the columns from the divider
// on moved right to make room, and a line of headings above the rows.
constexpr int kLevelX = kValueX + kValueWidth + 4, kLevelWidth = 56;
constexpr int kLevelShift = 64;
constexpr int kHeadingPitch = 22;


template <typename T, std::size_t N>
int rowOf(const std::array<T *, N> &table, const QObject *control)
{
    if (!control)
        return -1;
    const auto it = std::find(table.begin(), table.end(), control);
    return it == table.end() ? -1 : int(it - table.begin());
}

// A list set from code (an answer, a file) tells assistive technology what it now shows, as a
// choice by hand does: its entry in the description, and its popup's selection in step.
void followCurrentEntry(QComboBox *box)
{
    const auto show = [box](int index) {
        box->setAccessibleDescription(index < 0 ? QStringLiteral("none") : box->itemText(index));
        if (QAbstractItemView *view = box->view()) {
            const QModelIndex entry = box->model()->index(index, box->modelColumn(), box->rootModelIndex());
            if (view->selectionModel())
                view->selectionModel()->setCurrentIndex(entry, QItemSelectionModel::ClearAndSelect);
        }
    };
    QObject::connect(box, &QComboBox::currentIndexChanged, box, show);
    show(box->currentIndex());
}

// Tooltips: what a control does, then (while it is greyed) why. The hints of the reverse box
// and the limit buttons stay their first lines.
const char kExplanation[] = "tovelExplanation";
const char kGreyedWhy[] = "tovelGreyedWhy";
const QString kRowsGreyed = QStringLiteral(
    "Greyed until the pedal runs this effect and its settings have been read: Open FX, then Request.");
const QString kLimitsGreyed = QStringLiteral(
    "Greyed until a pedal control drives this row: choose one in the pedal control box, Assign, then Request.");

void showExplanation(QWidget *w)
{
    const QString what = w->property(kExplanation).toString();
    const QString why = w->property(kGreyedWhy).toString();
    w->setToolTip(w->isEnabled() || why.isEmpty() ? what : what + QLatin1Char('\n') + why);
}

template <typename T, std::size_t N>
void destroyAll(std::array<T *, N> &table)
{
    for (T *&control : table) {
        delete control;
        control = nullptr;
    }
}

} // namespace

TformFXParameters::TformFXParameters(EditorSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint)
    , SwitchOffText(session.settings().rows().SwitchOffText)
    , SwitchOnText(session.settings().rows().SwitchOnText)
    , OptionCount(session.settings().rows().OptionCount)
    , ParamAddress(session.settings().rows().ParamAddress)
    , m_session(session), m_model(session.settings())
{
    setObjectName(QStringLiteral("formFXParameters"));
    setWindowTitle(QStringLiteral("FX Parameters"));
    m_levelsShown = loadRememberedSwitch(levelsChoicePath(session.folders.documents()));
    // The rows sit at fixed places in an area as tall as they need; on a screen too short for
    // them the window is cut to the screen and the area scrolls. The area draws no background
    // of its own: the window's look shows through.
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrollRows"));
    m_scroll->setAccessibleName(QStringLiteral("Parameters"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rowsArea = new QWidget;
    m_rowsArea->setObjectName(QStringLiteral("rowsArea"));
    m_scroll->setWidget(m_rowsArea);
    m_scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget, QScrollArea > QWidget > QWidget#rowsArea"
                                           " { background: transparent; }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    setClientSize(kClientWidth, clientHeightForParams(0, 0), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    m_placer = new PlaceWhenFramed(*this, [this](const QMargins &frame) { return fitBeside(frame); });
    connect(&m_model, &SettingsModel::rowChanged, this, &TformFXParameters::drawRow);
    // The rows follow what the session knows: the link, the pedal's effect, the rows read, a
    // pedal control chosen in a row's box.
    connect(&session.pedalState(), &PedalState::changed, this, &TformFXParameters::EnableDisableControls);
    connect(&session, &EditorSession::rowsReadChanged, this, &TformFXParameters::EnableDisableControls);
    connect(&m_model, &SettingsModel::rowChanged, this, [this](int, int parts) {
        if (parts & SettingsModel::PedalControl)
            EnableDisableControls();
    });
}

const EffectRows &TformFXParameters::rows() const
{
    return m_model.rows();
}

int TformFXParameters::buildCount() const
{
    return m_model.buildCount();
}

int TformFXParameters::heightForParams(int numParams)
{
    return (numParams + 2) * kRowPitch + kTopMargin;
}

int TformFXParameters::clientHeightForParams(int numParams, int frameHeight)
{
    // The last row's bottom edge, and the same margin below it as above the first row.
    const int rowsBottom = numParams > 0 ? kTopMargin + kRowPitch * (numParams - 1) + kRowHeight
                                         : kTopMargin;
    if (frameHeight <= 0)
        return rowsBottom + kTopMargin;
    // The outer figure less the frame; a frame taller than the figure allows must not cut
    // the last row.
    return std::max(heightForParams(numParams) - frameHeight, rowsBottom);
}

QRect TformFXParameters::fitBeside(const QMargins &own)
{
    // Before the manager has framed this window, its frame is the main window's (the same
    // decorations).
    const QMargins frame = own.isNull() && m_mainWindow ? frameMarginsOf(*this, *m_mainWindow) : own;
    m_available = m_mainWindow ? availableGeometryFor(*m_mainWindow) : availableGeometryFor(*this);
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const int rowsHeight = clientHeightForParams(rows().NumParams(), frameHeight) + headingHeight();
    const int rowsWidth = rowsAreaWidth();
    const int bar = m_scroll->verticalScrollBar()->sizeHint().width();
    // Taller than the screen: the rows scroll beside a bar.
    QSize wanted(rowsWidth + frameWidth, rowsHeight + frameHeight);
    QRect spot(frameGeometry().topLeft(), wanted);
    if (m_mainWindow && m_available.isValid()) {
        // The main window's lists stay in sight whatever happens; at the least a window that
        // shows the names, the values and the pedal control boxes of three rows.
        QRect lists;
        for (const QListWidget *list : m_mainWindow->findChildren<QListWidget *>())
            if (list->isVisible())
                lists |= QRect(list->mapToGlobal(QPoint(0, 0)), list->size());
        const QRect main = m_mainWindow->frameGeometry();
        const QSize least(kAssignX + kAssignWidth + bar + frameWidth, heightForParams(3));
        spot = placeParameters(m_available, main, lists.isNull() ? main : lists, wanted, least);
        // Cut: the rows scroll beside a bar, or above one, which wants its room too.
        const bool down = spot.height() < wanted.height();
        const bool across = spot.width() < wanted.width();
        if (down || across) {
            wanted += QSize(down ? bar : 0, across ? bar : 0);
            spot = placeParameters(m_available, main, lists.isNull() ? main : lists, wanted, least);
        }
    } else if (m_available.isValid()) {
        spot = moveInside(spot, m_available);
    }
    m_fittedFrame = frameHeight;
    setClientSize(rowsWidth, rowsHeight, spot.size().shrunkBy(frame));
    return spot;
}

void TformFXParameters::setClientSize(int rowsWidth, int rowsHeight, const QSize &room)
{
    m_rowsArea->setFixedSize(rowsWidth, rowsHeight);
    const int bar = m_scroll->verticalScrollBar()->sizeHint().width();
    // A bar exactly where the rows are cut: left to itself, one also showed for the moment
    // the window took its size.
    bool down = rowsHeight > room.height();
    const bool across = rowsWidth + (down ? bar : 0) > room.width();
    if (across && !down)
        down = rowsHeight + bar > room.height();
    m_scroll->setVerticalScrollBarPolicy(down ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    m_scroll->setHorizontalScrollBarPolicy(across ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setFixedSize(std::min(rowsWidth + (down ? bar : 0), room.width()),
                 std::min(rowsHeight + (across ? bar : 0), room.height()));
}

bool TformFXParameters::rowsScroll() const
{
    return m_scroll->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
}

double TformFXParameters::dividerHeight(int numParams)
{
    return numParams * kDividerPitch;
}

void TformFXParameters::openBeside(const QWidget &mainWindow, const QString &caption, bool activate)
{
    if (isVisible()) {
        m_reopening = true;
        close();
        m_reopening = false;
    }
    m_mainWindow = &mainWindow;
    setWindowTitle(caption);
    setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    // Shown, it is sized for its rows and placed beside the main window (m_placer), and again
    // once the window manager has framed it.
    show();
}

void TformFXParameters::focusRows()
{
    if (QWidget *had = focusWidget(); had && m_rowsArea->isAncestorOf(had)) {
        had->setFocus(Qt::ShortcutFocusReason);
        return;
    }
    for (QWidget *first : std::initializer_list<QWidget *>{trkPot[0], swSwitch[0], cmbMultiSwitch[0], boxAssign[0]})
        if (first && first->isEnabled()) {
            first->setFocus(Qt::ShortcutFocusReason);
            return;
        }
}

bool TformFXParameters::rowsCutAcross() const
{
    return m_scroll->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn;
}

void TformFXParameters::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from its icon keeps its rows; only a show by the program rebuilds.
    if (event->spontaneous())
        return;
    ErrorBoundary::run(m_session.prompts, [this] { OnShow(); });
}

void TformFXParameters::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        OnClose();
}

void TformFXParameters::OnShow()
{
    // Every opener closes the window first; a show without a close must not stack rows.
    destroyRows();
    // The rows were opened in the session when the effect was chosen; a layout that did not
    // load left none, and a program that did not load leaves the window without rows.
    if (!m_model.isOpen() || !m_model.rows().complete)
        return;
    BuildPots();
    buildLevels();
    BuildSwitches();
    BuildMultiSwitches();
    BuildAssignBoxes();
    BuildDivider();
    BuildReverseBoxes();
    BuildLimitButtons();
    buildHeadings();
    orderTabs();
    // Built again for rows that stay open (levels shown or hidden, the window shown anew): the
    // rows show what the model holds, sending nothing.
    for (int p = 0; p < rows().count(); ++p)
        drawRow(p, SettingsModel::AllParts);
    explainControls();
    EnableDisableControls();
}

void TformFXParameters::explainControls()
{
    const auto explain = [this](QWidget *w, const QString &what, const QString &why) {
        if (!w)
            return;
        w->setProperty(kExplanation, what);
        w->setProperty(kGreyedWhy, why);
        w->installEventFilter(this);
        showExplanation(w);
    };
    const QStringList meanings = pedalControlMeanings();
    for (int p = 0; p < kRows; ++p) {
        explain(swSwitch[p], QStringLiteral("Switch: sent to the pedal as it is flipped"), kRowsGreyed);
        explain(cmbMultiSwitch[p], QStringLiteral("Position of the switch: sent to the pedal as it is chosen"),
                kRowsGreyed);
        explain(boxAssign[p],
                QStringLiteral("Pedal control: which of the pedal's knobs, expression input or switch inputs "
                               "moves this parameter while you play. Assign sends the choice.\n")
                    + meanings.join(QLatin1Char('\n')),
                kRowsGreyed);
        if (boxAssign[p])
            for (int i = 0; i < boxAssign[p]->count() && i < int(meanings.size()) - 1; ++i)
                boxAssign[p]->setItemData(i, meanings[i], Qt::ToolTipRole);
        explain(spnLevel[p],
                QStringLiteral("Level %1 to %2: type it and press Enter, or step it with the arrow keys. It "
                               "goes to the pedal as a move of the slider does.").arg(0).arg(kMaxLevel),
                kRowsGreyed);
        explain(chkReverse[p],
                QStringLiteral("toggle the Reverse function for the current parameter") + QLatin1Char('\n')
                    + QStringLiteral("Reverse: the pedal control moves the parameter the other way. Assign sends it."),
                kRowsGreyed);
        explain(btnClearMinMax[p],
                QStringLiteral("clear min and max") + QLatin1Char('\n')
                    + QStringLiteral("Clear: the pedal control reaches the whole range again, 0 to 1023."),
                kLimitsGreyed);
        if (btnMin[p] || btnMax[p]) {
            for (QPushButton *b : {btnMin[p], btnMax[p]}) {
                b->setProperty(kGreyedWhy, kLimitsGreyed);
                b->installEventFilter(this);
            }
            explainLimits(p);
        }
        if (trkPot[p]) {
            trkPot[p]->setProperty(kGreyedWhy, kRowsGreyed);
            trkPot[p]->installEventFilter(this);
            showLevel(p);
        }
    }
}

void TformFXParameters::showLevel(int row)
{
    QSlider *slider = trkPot[row];
    if (!slider)
        return;
    const QString level = QStringLiteral("Level %1 of %2").arg(slider->value()).arg(kMaxLevel);
    if (QSpinBox *number = spnLevel[row]) {
        const QSignalBlocker quiet(number);
        number->setValue(slider->value());
    }
    slider->setProperty(kExplanation, level);
    showExplanation(slider);
    // While the player drags, the level follows the pointer.
    if (slider->isSliderDown())
        QToolTip::showText(QCursor::pos(), level, slider);
}

bool TformFXParameters::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && watched->isWidgetType())
        showExplanation(static_cast<QWidget *>(watched));
    return QWidget::eventFilter(watched, event);
}

void TformFXParameters::orderTabs()
{
    // Row by row, left to right, as the player reads the window: the controls were created
    // column by column.
    QWidget *previous = nullptr;
    for (int p = 0; p < kRows; ++p) {
        const QList<QWidget *> row{trkPot[p], spnLevel[p], swSwitch[p], cmbMultiSwitch[p], boxAssign[p], chkReverse[p],
                                   btnMin[p], btnMax[p], btnClearMinMax[p]};
        for (QWidget *w : row) {
            if (!w)
                continue;
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }
}

void TformFXParameters::OnClose()
{
    destroyRows();
    // Closed to be shown anew beside the main window, the rows stay open in the session.
    if (m_reopening)
        return;
    m_session.closeRows();
    // Also when the build stopped early and no row exists: Request and Assign belong to rows
    // that a closed window no longer shows.
    emit rowsClosed();
}

void TformFXParameters::destroyRows()
{
    destroyAll(lblParamName);
    destroyAll(trkPot);
    destroyAll(spnLevel);
    qDeleteAll(lblHeadings);
    lblHeadings.clear();
    destroyAll(swSwitch);
    destroyAll(lblSwitchState);
    destroyAll(cmbMultiSwitch);
    destroyAll(boxAssign);
    destroyAll(chkReverse);
    destroyAll(btnMin);
    destroyAll(btnMax);
    destroyAll(btnClearMinMax);
    delete lineDivider;
    lineDivider = nullptr;
}

template <typename W>
W *TformFXParameters::placeRow(W *control, int row, int x, int width, const QString &what)
{
    control->setGeometry(columnX(x), rowsTop() + kRowPitch * row, width, kRowHeight);
    // A screen reader speaks the row and what the control is ("Spread maximum"); the name
    // label alone speaks the row's name.
    const QString name = rows().spokenName(row);
    control->setAccessibleName(what.isEmpty() ? name : name + QLatin1Char(' ') + what);
    control->show();
    return control;
}

void TformFXParameters::setLimitCaption(QPushButton *button, const QString &caption)
{
    if (!button)
        return;
    button->setText(caption);
    // The caption is the information: the limit in percent, or "-" for none.
    button->setAccessibleDescription(caption == QStringLiteral("-") ? QStringLiteral("not set")
                                                                     : caption);
}

void TformFXParameters::BuildPots()
{
    for (int p = 0; p < std::min(rows().NumPots(), rows().count()); ++p) {
        auto *slider = placeRow(new QSlider(Qt::Horizontal, m_rowsArea), p, kValueX, kValueWidth,
                                QStringLiteral("level"));
        slider->setObjectName(QStringLiteral("trkPot%1").arg(p));
        slider->setRange(0, kMaxLevel);
        connectHandler(slider, &QSlider::valueChanged, this, m_session.prompts, [this, slider] { PotParameterChange(slider); });
        connect(slider, &QSlider::valueChanged, this, [this, p] { showLevel(p); });
        // A drag, from press to release, is one undo step.
        connect(slider, &QSlider::sliderPressed, this, [this] { m_session.undoStack().seal(); });
        connect(slider, &QSlider::sliderReleased, this, [this] { m_session.undoStack().seal(); });
        trkPot[p] = slider;

        auto *name = placeRow(new QLabel(rows().layout.ParamLines.at(p), m_rowsArea), p, kNameX, kNameWidth);
        name->setObjectName(QStringLiteral("lblParamName%1").arg(p));
        lblParamName[p] = name;
    }
}

void TformFXParameters::BuildSwitches()
{
    const int first = std::min(rows().NumPots(), rows().count());
    const int end = std::min(rows().NumPots() + rows().NumSwitches(), rows().count());
    for (int p = first; p < end; ++p) {
        auto *toggle = placeRow(new ToggleSwitch(m_rowsArea), p, kSwitchX, kSwitchWidth, QStringLiteral("switch"));
        toggle->setObjectName(QStringLiteral("swSwitch%1").arg(p));
        connectHandler(toggle, &ToggleSwitch::clicked, this, m_session.prompts, [this, toggle] { SwitchParameterClick(toggle); });
        swSwitch[p] = toggle;

        auto *name = placeRow(new QLabel(rows().name[p], m_rowsArea), p, kNameX, kNameWidth);
        name->setObjectName(QStringLiteral("lblParamName%1").arg(p));
        lblParamName[p] = name;

        auto *state = placeRow(new QLabel(SwitchOffText[p], m_rowsArea), p, kSwitchStateX, kSwitchStateWidth,
                               QStringLiteral("state"));
        state->setObjectName(QStringLiteral("lblSwitchState%1").arg(p));
        // The caption cell runs under the switch (120..220 against 190..230): the label draws
        // no background, and must not take the switch's clicks.
        state->setAttribute(Qt::WA_TransparentForMouseEvents);
        lblSwitchState[p] = state;
        state->setAccessibleDescription(SwitchOffText[p]);
        toggle->setAccessibleDescription(SwitchOffText[p]);
    }
}

void TformFXParameters::BuildMultiSwitches()
{
    const int first = std::min(rows().NumPots() + rows().NumSwitches(), rows().count());
    for (int p = first; p < rows().count(); ++p) {
        auto *list = placeRow(new QComboBox(m_rowsArea), p, kValueX, kValueWidth, QStringLiteral("position"));
        list->setObjectName(QStringLiteral("cmbMultiSwitch%1").arg(p));
        cmbMultiSwitch[p] = list;

        auto *name = placeRow(new QLabel(rows().name[p], m_rowsArea), p, kNameX, kNameWidth);
        name->setObjectName(QStringLiteral("lblParamName%1").arg(p));
        lblParamName[p] = name;
        list->addItems(rows().options[p]);
        // Filling selects the first option; a new list shows none until set.
        list->setCurrentIndex(-1);
        followCurrentEntry(list);
        connectHandler(list, &QComboBox::currentIndexChanged, this, m_session.prompts, [this, list] { MultiSwitchOnChange(list); });
    }
}

void TformFXParameters::BuildAssignBoxes()
{
    for (int p = 0; p < rows().count(); ++p) {
        auto *box = placeRow(new QComboBox(m_rowsArea), p, kAssignX, kAssignWidth,
                             QStringLiteral("pedal control"));
        box->setObjectName(QStringLiteral("boxAssign%1").arg(p));
        for (const QString &control : PedalControlNames)
            box->addItem(control);
        box->setCurrentIndex(-1);
        // Nothing chosen reads as "-", as an unset limit does, not as an empty "NA".
        box->setPlaceholderText(QStringLiteral("-"));
        followCurrentEntry(box);
        connectHandler(box, &QComboBox::currentIndexChanged, this, m_session.prompts, [this, box] { boxAssignOnChange(box); });
        boxAssign[p] = box;
    }
}

void TformFXParameters::BuildDivider()
{
    lineDivider = new QFrame(m_rowsArea);
    lineDivider->setObjectName(QStringLiteral("lineDivider"));
    lineDivider->setAccessibleName(QStringLiteral("Divider"));
    lineDivider->setFrameShape(QFrame::VLine);
    lineDivider->setFrameShadow(QFrame::Plain);
    const double height = dividerHeight(rows().NumParams());
    lineDivider->setGeometry(columnX(kDividerX), rowsTop(), 1, int(std::floor(height + 0.5)));
    lineDivider->show();
}

void TformFXParameters::BuildReverseBoxes()
{
    for (int p = 0; p < rows().count(); ++p) {
        auto *box = placeRow(new QCheckBox(m_rowsArea), p, kReverseX, kReverseWidth, QStringLiteral("reverse"));
        box->setObjectName(QStringLiteral("chkReverse%1").arg(p));
        box->setToolTip(QStringLiteral("toggle the Reverse function for the current parameter"));
        connectHandler(box, &QCheckBox::toggled, this, m_session.prompts, [this, box] { chkReverseClick(box); });
        chkReverse[p] = box;
    }
}

void TformFXParameters::BuildLimitButtons()
{
    auto button = [this](int p, const char *name, const QString &caption, const QString &hint,
                         int x, int width, const QString &what) {
        auto *b = placeRow(new QPushButton(caption, m_rowsArea), p, x, width, what);
        b->setObjectName(QLatin1String(name) + QString::number(p));
        b->setToolTip(hint);
        enableLimitButton(b, false);
        return b;
    };
    for (int p = 0; p < std::min(rows().NumPots(), rows().count()); ++p) {
        QPushButton *min = button(p, "btnMin", QStringLiteral("-"),
                                  QStringLiteral("set min value for this parameter"), kMinX, kLimitWidth,
                                  QStringLiteral("minimum"));
        setLimitCaption(min, min->text());
        connectHandler(min, &QPushButton::clicked, this, m_session.prompts, [this, min] { btnMinClick(min); });
        btnMin[p] = min;
        QPushButton *max = button(p, "btnMax", QStringLiteral("-"),
                                  QStringLiteral("set max value for this parameter"), kMaxX, kLimitWidth,
                                  QStringLiteral("maximum"));
        setLimitCaption(max, max->text());
        connectHandler(max, &QPushButton::clicked, this, m_session.prompts, [this, max] { btnMaxClick(max); });
        btnMax[p] = max;
        QPushButton *clear = button(p, "btnClearMinMax", QStringLiteral("C"),
                                    QStringLiteral("clear min and max"), kClearX, kClearWidth,
                                    QStringLiteral("clear limits"));
        connectHandler(clear, &QPushButton::clicked, this, m_session.prompts, [this, clear] { ClearMinMaxClick(clear); });
        btnClearMinMax[p] = clear;
    }
}

void TformFXParameters::drawRow(int row, int parts)
{
    if (row < 0 || row >= kRows)
        return;
    const SettingsModel::RowValues &v = m_model.values(row);
    m_drawing = true;
    if (parts & SettingsModel::Level) {
        if (trkPot[row])
            trkPot[row]->setValue(v.value);
        if (swSwitch[row])
            swSwitch[row]->setChecked(v.value != 0);
        if (cmbMultiSwitch[row])
            cmbMultiSwitch[row]->setCurrentIndex(v.value);
    }
    if ((parts & SettingsModel::PedalControl) && boxAssign[row])
        boxAssign[row]->setCurrentIndex(v.pedalControl);
    if ((parts & SettingsModel::Reverse) && chkReverse[row])
        chkReverse[row]->setChecked(v.reverse);
    if (parts & SettingsModel::Limits) {
        if (btnMin[row] && btnMin[row]->text() != v.minCaption)
            setLimitCaption(btnMin[row], v.minCaption);
        if (btnMax[row] && btnMax[row]->text() != v.maxCaption)
            setLimitCaption(btnMax[row], v.maxCaption);
        explainLimits(row);
    }
    if ((parts & SettingsModel::SwitchCaption) && lblSwitchState[row]) {
        const QString &caption = v.captionOn ? SwitchOnText[row] : SwitchOffText[row];
        lblSwitchState[row]->setText(caption);
        lblSwitchState[row]->setAccessibleDescription(caption);
        // "checked" alone does not say which of the two words the switch stands on.
        if (swSwitch[row])
            swSwitch[row]->setAccessibleDescription(caption);
    }
    m_drawing = false;
}

int TformFXParameters::columnX(int x) const
{
    return m_levelsShown && x >= kDividerX ? x + kLevelShift : x;
}

int TformFXParameters::rowsTop() const
{
    return kTopMargin + headingHeight();
}

int TformFXParameters::rowsAreaWidth() const
{
    return kClientWidth + (m_levelsShown ? kLevelShift : 0);
}

int TformFXParameters::headingHeight() const
{
    return m_levelsShown ? kHeadingPitch : 0;
}

QString TformFXParameters::levelsChoicePath(const QString &documents)
{
    return documents.isEmpty() ? QString() : QDir(documents).filePath(QStringLiteral("ZANTH/show_levels.txt"));
}

void TformFXParameters::setLevelsShown(bool shown)
{
    if (m_levelsShown == shown)
        return;
    m_levelsShown = shown;
    // Built afresh with the column and the headings, or without; the rows stay open.
    if (isVisible()) {
        m_reopening = true;
        close();
        m_reopening = false;
        show();
    }
}

void TformFXParameters::buildLevels()
{
    if (!m_levelsShown)
        return;
    for (int p = 0; p < kRows; ++p) {
        if (!trkPot[p])
            continue;
        auto *number = placeRow(new QSpinBox(m_rowsArea), p, kLevelX, kLevelWidth, QStringLiteral("level number"));
        number->setObjectName(QStringLiteral("spnLevel%1").arg(p));
        number->setRange(0, kMaxLevel);
        // A typed number goes once, on Enter or on leaving the box, not at each digit.
        number->setKeyboardTracking(false);
        number->setValue(trkPot[p]->value());
        connectHandler(number, &QSpinBox::valueChanged, this, m_session.prompts, [this, number] { levelTyped(number); });
        spnLevel[p] = number;
    }
}

void TformFXParameters::buildHeadings()
{
    if (!m_levelsShown || rows().count() == 0)
        return;
    const QStringList meanings = pedalControlMeanings();
    struct Heading {
        const char *text;
        int x;
        int width;
        QString tip;
    };
    const Heading headings[] = {
        {"Parameter", kNameX, kNameWidth, QString()},
        {"Value", kValueX, kValueWidth, QStringLiteral("The parameter's slider, switch or list: moved, it is sent to the pedal at once.")},
        {"Level", kLevelX, kLevelWidth, QStringLiteral("A slider's level, 0 to %1, as a number.").arg(kMaxLevel)},
        {"Control", columnX(kAssignX), kAssignWidth + 8, meanings.join(QLatin1Char('\n'))},
        {"Rev", columnX(kReverseX), kReverseWidth + 4, QStringLiteral("Reverse: the pedal control moves the parameter the other way.")},
        {"Min", columnX(kMinX), kLimitWidth, QStringLiteral("The lowest level the pedal control reaches, in per cent.")},
        {"Max", columnX(kMaxX), kLimitWidth, QStringLiteral("The highest level the pedal control reaches, in per cent.")},
        {"C", columnX(kClearX), kClearWidth, QStringLiteral("Clear: the whole range, 0 to %1, again.").arg(kMaxLevel)},
    };
    for (const Heading &h : headings) {
        auto *label = new QLabel(QString::fromLatin1(h.text), m_rowsArea);
        label->setObjectName(QStringLiteral("lblHeading") + QString::fromLatin1(h.text));
        label->setGeometry(h.x, kTopMargin, h.width, kRowHeight);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setToolTip(h.tip);
        // Over the narrow columns the words stand centred, clear of their neighbours.
        if (h.x >= columnX(kReverseX))
            label->setAlignment(Qt::AlignCenter);
        label->show();
        lblHeadings.append(label);
    }
}

void TformFXParameters::levelTyped(QObject *control)
{
    const int row = rowOf(spnLevel, control);
    if (row < 0 || m_drawing || !trkPot[row])
        return;
    // The slider takes the number and sends it, as a move of its own does.
    trkPot[row]->setValue(spnLevel[row]->value());
}

void TformFXParameters::explainLimits(int row)
{
    if (row < 0 || row >= kRows)
        return;
    const ParamTables &tables = m_session.params;
    const auto explain = [this](QPushButton *button, const QString &what, int level) {
        if (!button)
            return;
        // The caption is the per cent the pedal's arithmetic gives; the level is what the
        // pedal control reaches.
        const QString caption = button->text();
        const QString stands = caption == QStringLiteral("-")
            ? QStringLiteral("Not set.")
            : QStringLiteral("%1 stands for level %2 of %3.").arg(caption).arg(level).arg(kMaxLevel);
        button->setProperty(kExplanation, what + QLatin1Char('\n') + stands);
        showExplanation(button);
    };
    explain(btnMin[row],
            QStringLiteral("set min value for this parameter") + QLatin1Char('\n')
                + QStringLiteral("Minimum: the lowest level the pedal control reaches, taken from where the slider stands."),
            tables.MinLimit[row]);
    explain(btnMax[row],
            QStringLiteral("set max value for this parameter") + QLatin1Char('\n')
                + QStringLiteral("Maximum: the highest level the pedal control reaches, taken from where the slider stands."),
            tables.MaxLimit[row]);
}

void TformFXParameters::EnableDisableControls()
{
    bool anyUsable = false;
    for (int p = 0; p < kRows; ++p) {
        const RowUse use = rowUse(rowFacts(m_session, p));
        anyUsable = anyUsable || (use.values && p < rows().count());
        // The name greys with the row: a greyed row reads as one.
        for (QWidget *w : std::initializer_list<QWidget *>{lblParamName[p], trkPot[p], spnLevel[p], swSwitch[p],
                                                           lblSwitchState[p], cmbMultiSwitch[p], boxAssign[p],
                                                           chkReverse[p]})
            if (w)
                w->setEnabled(use.values);
        for (QPushButton *b : {btnMin[p], btnMax[p], btnClearMinMax[p]})
            enableLimitButton(b, use.limits);
    }
    // A configuration load sends to the rows the player could move now.
    m_model.setRowsEnabled(anyUsable);
}

namespace {
const char kWantedEnabled[] = "tovelWantedEnabled";
}

void TformFXParameters::enableLimitButton(QPushButton *button, bool enable)
{
    if (!button)
        return;
    button->setProperty(kWantedEnabled, enable);
    button->setEnabled(enable && !m_exchangeRunning);
}

void TformFXParameters::setExchangeRunning(bool running)
{
    m_exchangeRunning = running;
    for (int p = 0; p < kRows; ++p)
        for (QPushButton *b : {btnMin[p], btnMax[p], btnClearMinMax[p]})
            if (b)
                b->setEnabled(!running && b->property(kWantedEnabled).toBool());
}

template <typename Result>
void TformFXParameters::showResult(const Result &result)
{
    if (result.failure && !result.failure->message.isEmpty())
        m_session.prompts.showMessage(windowFailureText(*result.failure));
}

void TformFXParameters::PotParameterChange(QObject *control)
{
    const int row = rowOf(trkPot, control);
    if (row < 0 || m_drawing)
        return;
    showResult(setRowValue(m_session, row, trkPot[row]->value()));
}

void TformFXParameters::SwitchParameterClick(QObject *control)
{
    const int row = rowOf(swSwitch, control);
    if (row < 0 || m_drawing)
        return;
    showResult(setRowValue(m_session, row, swSwitch[row]->isChecked() ? 1 : 0));
}

void TformFXParameters::MultiSwitchOnChange(QObject *control)
{
    const int row = rowOf(cmbMultiSwitch, control);
    if (row < 0 || m_drawing)
        return;
    showResult(setRowValue(m_session, row, cmbMultiSwitch[row]->currentIndex()));
}

void TformFXParameters::ShowSwitchState(int row)
{
    m_model.showSwitchCaption(row);
}

void TformFXParameters::boxAssignOnChange(QObject *control)
{
    const int row = rowOf(boxAssign, control);
    if (row < 0 || m_drawing)
        return;
    choosePedalControl(m_session, row, boxAssign[row]->currentIndex());
}

void TformFXParameters::chkReverseClick(QObject *control)
{
    const int row = rowOf(chkReverse, control);
    if (row < 0 || m_drawing)
        return;
    setReverse(m_session, row, chkReverse[row]->isChecked());
}

void TformFXParameters::btnMinClick(QObject *control)
{
    const int row = rowOf(btnMin, control);
    if (row >= 0)
        SetLimit(row, LimitAction::Minimum);
}

void TformFXParameters::btnMaxClick(QObject *control)
{
    const int row = rowOf(btnMax, control);
    if (row >= 0)
        SetLimit(row, LimitAction::Maximum);
}

void TformFXParameters::ClearMinMaxClick(QObject *control)
{
    const int row = rowOf(btnClearMinMax, control);
    if (row >= 0)
        SetLimit(row, LimitAction::Clear);
}

void TformFXParameters::SetLimit(int row, LimitAction action)
{
    if (row < 0 || row >= kRows || !trkPot[row] || !btnMin[row] || !btnMax[row])
        return;
    showResult(setLimit(m_session, row, action, potLevel(trkPot[row]->value())));
}

} // namespace tovel

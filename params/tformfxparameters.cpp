#include "params/tformfxparameters.h"

#include "catalogue/catalogueloader.h"
#include "catalogue/effectresourcename.h"
#include "core/errorboundary.h"
#include "core/mainstate.h"
#include "core/seams.h"
#include "params/paramtables.h"
#include "params/toggleswitch.h"
#include "protocol/commandexchange.h"
#include "protocol/commands.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>

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

template <typename T, std::size_t N>
void destroyAll(std::array<T *, N> &table)
{
    for (T *&control : table) {
        delete control;
        control = nullptr;
    }
}

} // namespace

TformFXParameters::TformFXParameters(CatalogueLoader &loader, MainState &state,
                                     ParamTables &tables, CommandExchange &exchange,
                                     Console &console, Prompts &prompts, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::WindowContextHelpButtonHint)
    , m_loader(loader), m_state(state), m_tables(tables), m_exchange(exchange)
    , m_console(console), m_prompts(prompts)
{
    setObjectName(QStringLiteral("formFXParameters"));
    setWindowTitle(QStringLiteral("FX Parameters"));
    setFixedSize(kClientWidth, clientHeightForParams(0, 0));
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

int TformFXParameters::knownFrameHeight() const
{
    if (!isVisible())
        return 0;
    return std::max(0, frameGeometry().height() - geometry().height());
}

void TformFXParameters::fitHeight()
{
    m_fittedFrame = knownFrameHeight();
    setFixedSize(kClientWidth, clientHeightForParams(m_layout.NumParams, m_fittedFrame));
}

double TformFXParameters::dividerHeight(int numParams)
{
    return numParams * kDividerPitch;
}

void TformFXParameters::openBeside(const QWidget &mainWindow, const QString &caption)
{
    if (isVisible())
        close();
    const QRect main = mainWindow.frameGeometry();
    move(main.x() + main.width(), main.y());
    setWindowTitle(caption);
    show();
    m_sized = true;
    fitHeight();
}

void TformFXParameters::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from its icon keeps its rows; only a show by the program rebuilds.
    if (event->spontaneous())
        return;
    ErrorBoundary::run(m_prompts, [this] { OnShow(); });
}

bool TformFXParameters::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    // The window manager reports its frame some time after the show (when it has put the
    // window in a frame); the height follows once the frame is known or changes.
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::WindowStateChange:
        if (m_sized && isVisible() && knownFrameHeight() != m_fittedFrame)
            fitHeight();
        break;
    default:
        break;
    }
    return handled;
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
    ++m_buildCount;
    SwitchOffText.fill(QString());
    SwitchOnText.fill(QString());
    OptionCount.fill(0);
    if (!LoadControlLayout())
        return;
    if (!LoadParamAddresses())
        return;
    BuildPots();
    BuildSwitches();
    BuildMultiSwitches();
    BuildAssignBoxes();
    BuildDivider();
    BuildReverseBoxes();
    BuildLimitButtons();
}

void TformFXParameters::OnClose()
{
    destroyRows();
    // Also when the build stopped early and no row exists: Request and Assign belong to rows
    // that a closed window no longer shows.
    emit rowsClosed();
}

void TformFXParameters::destroyRows()
{
    destroyAll(lblParamName);
    destroyAll(trkPot);
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
    ++m_buildCount;
}

bool TformFXParameters::LoadControlLayout()
{
    m_layout = ControlLayout();
    const QString name = EffectResourceName(m_state.SelectedEffectName) + QStringLiteral("_ctrls");
    if (!m_loader.LoadListResource(name))
        return false;
    ControlLayout layout = ControlLayout::fromLines(m_loader.CurrentList());
    m_console.printToConsole(QStringLiteral("num of pots: ") + QString::number(layout.NumPots));
    m_console.printToConsole(QStringLiteral("num of switches: ") + QString::number(layout.NumSwitches));
    m_console.printToConsole(QStringLiteral("num of multi switch: ")
                             + QString::number(layout.NumMultiSwitches));
    for (int p = 0; p < layout.LinesPresent; ++p)
        m_console.printToConsole(layout.ParamLines.at(p));
    m_layout = layout;
    return true;
}

bool TformFXParameters::LoadParamAddresses()
{
    ParamAddress.fill(QString());
    const QString base = EffectResourceName(m_state.SelectedEffectName);
    m_console.printToConsole(QStringLiteral("resource name: ") + base);
    if (!m_loader.LoadListResource(base))
        return false;
    const QStringList &lines = m_loader.CurrentList();
    const QString program = lines.isEmpty() ? QString() : lines.first();
    m_console.printToConsole(QStringLiteral("content: ") + program);
    m_console.printToConsole(QStringLiteral("file content size: ")
                             + QString::number(program.size() / 2));
    const QStringList addresses = paramAddressesFromProgram(program);
    for (int p = 0; p < kRows; ++p) {
        ParamAddress[p] = addresses.at(p);
        m_console.printToConsole(QStringLiteral("parameter address: ") + ParamAddress[p]);
    }
    return true;
}

QString TformFXParameters::rowName(int row) const
{
    const QString &line = m_layout.ParamLines.at(row);
    switch (rowKind(m_layout, row)) {
    case RowKind::Pot:
        return line;
    case RowKind::Switch:
        return splitSwitchLine(line).name;
    case RowKind::MultiSwitch:
        return splitMultiSwitchLine(line).name;
    }
    return line;
}

QString TformFXParameters::accessibleRowName(int row) const
{
    const QString name = rowName(row).trimmed();
    if (name.isEmpty())
        return QStringLiteral("Row %1").arg(row + 1);
    // Two rows of one name are told apart by their number.
    for (int q = 0; q < m_layout.NumParams; ++q)
        if (q != row && rowName(q).trimmed() == name)
            return name + QStringLiteral(" (row %1)").arg(row + 1);
    return name;
}

template <typename W>
W *TformFXParameters::placeRow(W *control, int row, int x, int width, const QString &what)
{
    control->setGeometry(x, kTopMargin + kRowPitch * row, width, kRowHeight);
    // A screen reader speaks the row and what the control is ("Spread maximum"); the name
    // label alone speaks the row's name.
    const QString name = accessibleRowName(row);
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
    const bool usable = m_state.EffectOnPedal;
    for (int p = 0; p < std::min(m_layout.NumPots, m_layout.NumParams); ++p) {
        auto *slider = placeRow(new QSlider(Qt::Horizontal, this), p, kValueX, kValueWidth,
                                QStringLiteral("level"));
        slider->setObjectName(QStringLiteral("trkPot%1").arg(p));
        slider->setRange(0, kMaxLevel);
        slider->setEnabled(usable);
        connectHandler(slider, &QSlider::valueChanged, this, m_prompts, [this, slider] { PotParameterChange(slider); });
        trkPot[p] = slider;

        auto *name = placeRow(new QLabel(m_layout.ParamLines.at(p), this), p, kNameX, kNameWidth);
        name->setObjectName(QStringLiteral("lblParamName%1").arg(p));
        lblParamName[p] = name;
    }
}

void TformFXParameters::BuildSwitches()
{
    const bool usable = m_state.EffectOnPedal;
    const int first = std::min(m_layout.NumPots, m_layout.NumParams);
    const int end = std::min(m_layout.NumPots + m_layout.NumSwitches, m_layout.NumParams);
    for (int p = first; p < end; ++p) {
        auto *toggle = placeRow(new ToggleSwitch(this), p, kSwitchX, kSwitchWidth, QStringLiteral("switch"));
        toggle->setObjectName(QStringLiteral("swSwitch%1").arg(p));
        toggle->setEnabled(usable);
        connectHandler(toggle, &ToggleSwitch::clicked, this, m_prompts, [this, toggle] { SwitchParameterClick(toggle); });
        swSwitch[p] = toggle;

        const SwitchLine line = splitSwitchLine(m_layout.ParamLines.at(p));
        auto *name = placeRow(new QLabel(line.name, this), p, kNameX, kNameWidth);
        name->setObjectName(QStringLiteral("lblParamName%1").arg(p));
        lblParamName[p] = name;
        SwitchOffText[p] = line.offText;
        SwitchOnText[p] = line.onText;
        m_console.printToConsole(line.offText);
        m_console.printToConsole(line.onText);

        auto *state = placeRow(new QLabel(line.offText, this), p, kSwitchStateX, kSwitchStateWidth,
                               QStringLiteral("state"));
        state->setObjectName(QStringLiteral("lblSwitchState%1").arg(p));
        // The caption cell runs under the switch (120..220 against 190..230): the label draws
        // no background, and must not take the switch's clicks.
        state->setAttribute(Qt::WA_TransparentForMouseEvents);
        lblSwitchState[p] = state;
        state->setAccessibleDescription(line.offText);
        toggle->setAccessibleDescription(line.offText);
    }
}

void TformFXParameters::BuildMultiSwitches()
{
    const bool usable = m_state.EffectOnPedal;
    const int first = std::min(m_layout.NumPots + m_layout.NumSwitches, m_layout.NumParams);
    for (int p = first; p < m_layout.NumParams; ++p) {
        auto *list = placeRow(new QComboBox(this), p, kValueX, kValueWidth, QStringLiteral("position"));
        list->setObjectName(QStringLiteral("cmbMultiSwitch%1").arg(p));
        list->setEnabled(usable);
        cmbMultiSwitch[p] = list;

        const QString &text = m_layout.ParamLines.at(p);
        const MultiSwitchLine line = splitMultiSwitchLine(text);
        auto *name = placeRow(new QLabel(line.name, this), p, kNameX, kNameWidth);
        name->setObjectName(QStringLiteral("lblParamName%1").arg(p));
        lblParamName[p] = name;
        OptionCount[p] = int(line.options.size());
        if (!line.options.isEmpty())
            m_console.printToConsole(text.mid(text.indexOf(QLatin1Char(';')) + 1));
        for (const QString &option : line.options) {
            list->addItem(option);
            m_console.printToConsole(option);
        }
        // Filling selects the first option; a new list shows none until set.
        list->setCurrentIndex(-1);
        followCurrentEntry(list);
        connectHandler(list, &QComboBox::currentIndexChanged, this, m_prompts, [this, list] { MultiSwitchOnChange(list); });
    }
}

void TformFXParameters::BuildAssignBoxes()
{
    const bool usable = m_state.EffectOnPedal;
    for (int p = 0; p < m_layout.NumParams; ++p) {
        auto *box = placeRow(new QComboBox(this), p, kAssignX, kAssignWidth,
                             QStringLiteral("pedal control"));
        box->setObjectName(QStringLiteral("boxAssign%1").arg(p));
        for (const QString &control : PedalControlNames)
            box->addItem(control);
        box->setCurrentIndex(-1);
        followCurrentEntry(box);
        box->setEnabled(usable);
        connectHandler(box, &QComboBox::currentIndexChanged, this, m_prompts, [this, box] { boxAssignOnChange(box); });
        boxAssign[p] = box;
    }
}

void TformFXParameters::BuildDivider()
{
    lineDivider = new QFrame(this);
    lineDivider->setObjectName(QStringLiteral("lineDivider"));
    lineDivider->setAccessibleName(QStringLiteral("Divider"));
    lineDivider->setFrameShape(QFrame::VLine);
    lineDivider->setFrameShadow(QFrame::Plain);
    const double height = dividerHeight(m_layout.NumParams);
    lineDivider->setGeometry(kDividerX, kTopMargin, 1, int(std::floor(height + 0.5)));
    lineDivider->show();
}

void TformFXParameters::BuildReverseBoxes()
{
    const bool usable = m_state.EffectOnPedal;
    for (int p = 0; p < m_layout.NumParams; ++p) {
        auto *box = placeRow(new QCheckBox(this), p, kReverseX, kReverseWidth, QStringLiteral("reverse"));
        box->setObjectName(QStringLiteral("chkReverse%1").arg(p));
        box->setToolTip(QStringLiteral("toggle the Reverse function for the current parameter"));
        box->setEnabled(usable);
        connect(box, &QCheckBox::toggled, this, [this, p] { notePlayerChange(p, Reverse); });
        chkReverse[p] = box;
    }
}

void TformFXParameters::BuildLimitButtons()
{
    auto button = [this](int p, const char *name, const QString &caption, const QString &hint,
                         int x, int width, const QString &what) {
        auto *b = placeRow(new QPushButton(caption, this), p, x, width, what);
        b->setObjectName(QLatin1String(name) + QString::number(p));
        b->setToolTip(hint);
        enableLimitButton(b, false);
        return b;
    };
    for (int p = 0; p < std::min(m_layout.NumPots, m_layout.NumParams); ++p) {
        QPushButton *min = button(p, "btnMin", QStringLiteral("-"),
                                  QStringLiteral("set min value for this parameter"), kMinX, kLimitWidth,
                                  QStringLiteral("minimum"));
        setLimitCaption(min, min->text());
        connectHandler(min, &QPushButton::clicked, this, m_prompts, [this, min] { btnMinClick(min); });
        btnMin[p] = min;
        QPushButton *max = button(p, "btnMax", QStringLiteral("-"),
                                  QStringLiteral("set max value for this parameter"), kMaxX, kLimitWidth,
                                  QStringLiteral("maximum"));
        setLimitCaption(max, max->text());
        connectHandler(max, &QPushButton::clicked, this, m_prompts, [this, max] { btnMaxClick(max); });
        btnMax[p] = max;
        QPushButton *clear = button(p, "btnClearMinMax", QStringLiteral("C"),
                                    QStringLiteral("clear min and max"), kClearX, kClearWidth,
                                    QStringLiteral("clear limits"));
        connectHandler(clear, &QPushButton::clicked, this, m_prompts, [this, clear] { ClearMinMaxClick(clear); });
        btnClearMinMax[p] = clear;
    }
}

void TformFXParameters::EnableDisableControls(bool aEnable)
{
    for (QObject *child : children())
        if (child->isWidgetType())
            static_cast<QWidget *>(child)->setEnabled(aEnable);
    for (int p = 0; p < kRows; ++p) {
        const bool assigned = m_tables.IsAssigned[p];
        for (QPushButton *b : {btnMin[p], btnMax[p], btnClearMinMax[p]})
            enableLimitButton(b, assigned);
    }
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
    m_playerMoved.fill(0);
    for (int p = 0; p < kRows; ++p)
        for (QPushButton *b : {btnMin[p], btnMax[p], btnClearMinMax[p]})
            if (b)
                b->setEnabled(!running && b->property(kWantedEnabled).toBool());
}

bool TformFXParameters::movedDuringExchange(int row, RowPart part) const
{
    return row >= 0 && row < kRows && (m_playerMoved[row] & part) != 0;
}

void TformFXParameters::notePlayerChange(int row, RowPart part)
{
    if (m_exchangeRunning && !m_programSetsRows && row >= 0 && row < kRows)
        m_playerMoved[row] |= part;
}

void TformFXParameters::sendLevel(int row, int level, const QString &what, bool scrollConsole)
{
    const QString &address = ParamAddress[row];
    QString line;
    QString hex;
    if (isSendableAddress(address)) {
        hex = parameterValueHex(address, level);
        line = QStringLiteral("data sent %1 %2: %3").arg(what).arg(row).arg(hex);
    } else {
        line = QStringLiteral("data not sent %1 %2: parameter address \"%3\" is not 4 hex digits")
                   .arg(what).arg(row).arg(address);
    }
    if (scrollConsole)
        m_console.printToConsole(line);
    else
        m_console.appendConsoleLine(line);
    if (hex.isEmpty())
        return;
    if (!m_exchange.sendParameterValue(hex) && m_exchange.busy())
        m_console.appendConsoleLine(QStringLiteral("(sent when the %1 ends)").arg(m_exchange.running()));
}

void TformFXParameters::PotParameterChange(QObject *control)
{
    if (m_state.LiveMode)
        return;
    const int row = rowOf(trkPot, control);
    if (row < 0)
        return;
    notePlayerChange(row, Level);
    sendLevel(row, potLevel(trkPot[row]->value()), QStringLiteral("pot"), true);
}

void TformFXParameters::SwitchParameterClick(QObject *control)
{
    if (m_state.LiveMode)
        return;
    const int row = rowOf(swSwitch, control);
    if (row < 0)
        return;
    notePlayerChange(row, Level);
    sendLevel(row, switchLevel(swSwitch[row]->isChecked()), QStringLiteral("switch"), false);
    ShowSwitchState(row);
}

void TformFXParameters::MultiSwitchOnChange(QObject *control)
{
    const int row = rowOf(cmbMultiSwitch, control);
    if (row < 0)
        return;
    notePlayerChange(row, Level);
    // A list set to no option, or one without options, has no level to send.
    const std::optional<int> level = multiSwitchLevel(cmbMultiSwitch[row]->currentIndex(), OptionCount[row]);
    if (level)
        sendLevel(row, *level, QStringLiteral("multiswitch"), true);
}

void TformFXParameters::ShowSwitchState(int row)
{
    if (row < 0 || row >= kRows || !swSwitch[row] || !lblSwitchState[row])
        return;
    const QString &caption = swSwitch[row]->isChecked() ? SwitchOnText[row] : SwitchOffText[row];
    lblSwitchState[row]->setText(caption);
    lblSwitchState[row]->setAccessibleDescription(caption);
    // "checked" alone does not say which of the two words the switch stands on.
    swSwitch[row]->setAccessibleDescription(caption);
}

void TformFXParameters::boxAssignOnChange(QObject *control)
{
    const int row = rowOf(boxAssign, control);
    if (row < 0)
        return;
    notePlayerChange(row, PedalControl);
    m_tables.AssignBoxChanged(row, boxAssign[row]->currentIndex());
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
    // Nothing changes unless the commands can go: the window must show what the pedal holds.
    auto scope = m_exchange.begin(QStringLiteral("limit setting"));
    if (!scope)
        return;
    if (action == LimitAction::Clear) {
        setLimitCaption(btnMin[row], QStringLiteral("-"));
        setLimitCaption(btnMax[row], QStringLiteral("-"));
        m_tables.MinLimit[row] = 0;
        m_tables.MaxLimit[row] = kMaxLevel;
        SendLimit(row, 0, LimitKind::Minimum);
        SendLimit(row, kMaxLevel, LimitKind::Maximum);
        return;
    }
    const int level = potLevel(trkPot[row]->value());
    const QString caption = QString::number(limitPercentSet(level)) + QLatin1Char('%');
    const bool isMin = action == LimitAction::Minimum;
    if (isMin ? level > m_tables.MaxLimit[row] : level < m_tables.MinLimit[row]) {
        m_prompts.showMessage(QStringLiteral("Cannot set a MIN value higher than a MAX value"));
        return;
    }
    (isMin ? m_tables.MinLimit : m_tables.MaxLimit)[row] = level;
    setLimitCaption((isMin ? btnMin : btnMax)[row], caption);
    SendLimit(row, level, isMin ? LimitKind::Minimum : LimitKind::Maximum);
}

void TformFXParameters::SendLimit(int row, int level, LimitKind kind)
{
    m_console.printToConsole(QStringLiteral("valstr: ") + levelField(level));
    const CommandInfo &info = commandInfo(CommandCode::ParameterLimit);
    m_exchange.sendHex(parameterLimitHex(kind, row, level), info.length, info.purgeTransmit);
}

} // namespace tovel

#include "app/toggleswitch.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace tovel {

namespace {
constexpr int kWidth = 40;  // pixels, the row's switch cell
constexpr int kHeight = 20;
constexpr qreal kDisabledOpacity = 0.4;
// A toggle button to assistive technology. Its press and toggle actions are the user's
// click: they emit `clicked` as a mouse click does (the stock button interface toggles
// silently, which would change the switch without telling the pedal).
class ToggleSwitchAccessible : public QAccessibleWidget {
public:
    explicit ToggleSwitchAccessible(ToggleSwitch *w) : QAccessibleWidget(w, QAccessible::Button) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = toggle()->isChecked();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &actionName) override
    {
        if (actionName != toggleAction() && actionName != pressAction())
            return QAccessibleWidget::doAction(actionName);
        if (toggle()->isEnabled())
            toggle()->click();
    }

private:
    ToggleSwitch *toggle() const { return static_cast<ToggleSwitch *>(widget()); }
};

QAccessibleInterface *toggleSwitchAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String(ToggleSwitch::staticMetaObject.className()) && object
        && object->isWidgetType())
        return new ToggleSwitchAccessible(static_cast<ToggleSwitch *>(object));
    return nullptr;
}

} // namespace

ToggleSwitch::ToggleSwitch(QWidget *parent) : QAbstractButton(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(toggleSwitchAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::toggled, this, [this] {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
    });
}

QSize ToggleSwitch::sizeHint() const
{
    return {kWidth, kHeight};
}

QSize ToggleSwitch::minimumSizeHint() const
{
    return {kHeight, kHeight / 2};
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(kDisabledOpacity);

    const QPalette &pal = palette();
    const QColor on = m_trackOn.isValid() ? m_trackOn : pal.color(QPalette::Highlight);
    const QColor off = m_trackOff.isValid() ? m_trackOff : pal.color(QPalette::Mid);
    const QColor thumb = m_thumb.isValid() ? m_thumb : pal.color(QPalette::Button);

    // The track is a pill a little inside the widget; the thumb is a circle on its full height.
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal d = area.height();
    const QRectF track = area.adjusted(d / 6, d / 5, -d / 6, -d / 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? on : off);
    painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);

    const qreal x = isChecked() ? area.right() - d : area.left();
    const QRectF knob(x, area.top(), d, d);
    painter.setBrush(thumb);
    painter.setPen(QPen(pal.color(QPalette::Dark), 1));
    painter.drawEllipse(knob.adjusted(0.5, 0.5, -0.5, -0.5));

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace tovel

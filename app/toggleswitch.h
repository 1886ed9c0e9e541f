#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tovel {

// A two-position switch: a track with a round thumb at its left (off) or right (on) end.
// A checkable button underneath, so the keyboard (Space) and assistive technology treat it as
// one; `clicked` comes only from the user (or click()), after the new state is taken, while
// setChecked() from the program changes the state silently apart from `toggled`.
// Looks set its colours through style sheets: qproperty-trackOnColor and friends; unset
// colours come from the palette.
class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QColor trackOnColor READ trackOnColor WRITE setTrackOnColor)
    Q_PROPERTY(QColor trackOffColor READ trackOffColor WRITE setTrackOffColor)
    Q_PROPERTY(QColor thumbColor READ thumbColor WRITE setThumbColor)

public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    QColor trackOnColor() const { return m_trackOn; }
    void setTrackOnColor(const QColor &c) { m_trackOn = c; update(); }
    QColor trackOffColor() const { return m_trackOff; }
    void setTrackOffColor(const QColor &c) { m_trackOff = c; update(); }
    QColor thumbColor() const { return m_thumb; }
    void setThumbColor(const QColor &c) { m_thumb = c; update(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_trackOn, m_trackOff, m_thumb;
};

} // namespace tovel

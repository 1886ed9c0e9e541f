#pragma once

#include <QLabel>

namespace tovel {

// A one-line label that shows as much of its text as fits, ending in "…" when it is cut; the
// whole text stays its text (and its accessible name) and shows as its tooltip while cut.
class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);

    // What the label draws now.
    QString shownText() const;
    bool isCut() const { return shownText() != text(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
};

} // namespace tovel

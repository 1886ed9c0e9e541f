#pragma once

#include <QListWidget>

namespace tovel {

// A list box whose current row, moved from the keyboard (arrows, Home, End, page keys, typing
// a name), chooses that row as a click does; Enter chooses the current row again. Rows set
// from the program (a read-back pointing at the pedal's effect) choose nothing.
class ChoiceList : public QListWidget {
    Q_OBJECT

public:
    explicit ChoiceList(QWidget *parent = nullptr);

signals:
    void rowChosenByKey(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // A frame in the look's highlight colour while the list has the keyboard: a chosen row
    // alone looks the same in a list that has it and in one that has not.
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

} // namespace tovel

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
};

} // namespace tovel

#pragma once

#include <QApplication>

namespace tovel {

class Prompts;

// Every event passes through notify: an error that no handler caught ends that event's
// handling and is shown once (the general error report); the program carries on.
class TovelApplication : public QApplication {
public:
    TovelApplication(int &argc, char **argv);
    void setPrompts(Prompts *prompts) { m_prompts = prompts; }
    bool notify(QObject *receiver, QEvent *event) override;

private:
    Prompts *m_prompts = nullptr;
};

} // namespace tovel

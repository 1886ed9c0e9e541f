#pragma once

#include "core/seams.h"

#include <QString>
#include <QStringList>
#include <cstdio>

namespace tovel {

// The command line's dialogs: a message goes to standard error, each of its lines after
// "tovel: " with control characters escaped, and nothing ever waits for a person. A question is answered No, and said, so that
// a script never hangs on it; the commands turn the questions they expect into options before
// the lower layers would ask. File dialogs choose nothing.
class TerminalPrompts : public Prompts {
public:
    explicit TerminalPrompts(std::FILE *stream = stderr) : m_stream(stream) {}

    void showMessage(const QString &text) override;
    Answer askYesNo(const QString &text) override;
    QString openFile(const QString &filter) override;
    QString saveFile(const QString &filter, const QString &proposedPath) override;

    // Messages kept instead of written (for a JSON answer that carries them); takeCollected()
    // hands over those kept so far.
    void setCollecting(bool collecting) { m_collecting = collecting; }
    QStringList takeCollected();

private:
    std::FILE *m_stream;
    bool m_collecting = false;
    QStringList m_collected;
};

} // namespace tovel

#pragma once

#include <QString>
#include <stdexcept>

namespace tovel {

// An error that ends the operation in progress. Nothing catches it on the way up: the
// application's general error report (ErrorBoundary) shows its message once and the program
// carries on. Raise it for what the program cannot go on with: a number that does not
// convert, an index out of range, a file that cannot be read.
class EditorError : public std::runtime_error {
public:
    explicit EditorError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tovel

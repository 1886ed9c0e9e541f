#pragma once

#include "update/httpanswerreader.h"

#include <QAbstractSocket>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <optional>

class QTcpSocket;

namespace tovel {

// One GET of the version endpoint, run asynchronously: the windows go on answering events while
// the site is slow or gone. The answer comes once, through completed or failed.
//
// HTTP/1.1 over TLS (with the peer's certificate and name checked) or over plain TCP, one
// connection per request. Everything the server sends (status line, headers and body) counts
// against kMaxResponseBytes: a server that goes on past it is cut off, so no answer can swell
// the memory. Redirects are followed unless they leave HTTPS; one that is not followed is the
// answer.
class VersionRequest : public QObject {
    Q_OBJECT

public:
    // timeout bounds the whole request, from connecting to the last byte read, redirects included.
    VersionRequest(const QUrl &url, std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~VersionRequest() override;

    const QUrl &url() const { return m_url; }
    bool isRunning() const { return m_running; }
    // Sends the request; does nothing while one is running.
    void start();

signals:
    // The server answered: its status code, the status text as sent (not yet checked for
    // printable text) and at most kMaxAnswerBytes of the body; the rest is never read.
    void completed(int statusCode, const QByteArray &statusText, const QByteArray &body);
    // No answer: refused, not resolved, a TLS failure, cut short, too long, not HTTP or timed
    // out; in words, printable and on one line, at most kShownErrorChars long.
    void failed(const QString &error);

private:
    void connectTo(const QUrl &url);
    void sendRequest();
    void readAnswer();
    void socketFailed(QAbstractSocket::SocketError error);
    void serverClosed();
    // Acts on what the reader has made of the answer so far.
    void concludeIfAnswered();
    // Where the answer redirects to, when that is to be followed; empty otherwise.
    QUrl redirectTarget() const;
    void timedOut();
    void succeed();
    void fail(const QString &error);
    // Lets go of the connection, aborting it if it is still open.
    void dropSocket();

    QUrl m_url;
    std::chrono::milliseconds m_timeout;
    bool m_running = false;
    QUrl m_current; // m_url, or where redirects have led
    int m_redirects = 0;
    QTcpSocket *m_socket = nullptr;
    std::optional<HttpAnswerReader> m_reader;
    QTimer m_deadline;
};

} // namespace tovel

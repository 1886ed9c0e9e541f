#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

namespace tovel {

// One GET of the version endpoint, run asynchronously: the windows go on answering events while
// the site is slow or gone. The answer comes once, through completed or failed.
class VersionRequest : public QObject {
    Q_OBJECT

public:
    // timeout bounds the whole request, from connecting to the last byte read.
    VersionRequest(const QUrl &url, std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~VersionRequest() override;

    const QUrl &url() const { return m_url; }
    bool isRunning() const { return m_reply != nullptr; }
    // Sends the request; does nothing while one is running.
    void start();

signals:
    // The server answered: its status code, the status text as sent (not yet checked for
    // printable text) and at most kMaxAnswerBytes of the body; the rest is never read.
    void completed(int statusCode, const QByteArray &statusText, const QByteArray &body);
    // No answer: refused, not resolved, a TLS failure, cut short or timed out; in words.
    void failed(const QString &error);

private:
    void readBody();
    void replyFinished();
    void timedOut();
    // Lets go of the reply, aborting its transfer if it still runs.
    void release();

    QUrl m_url;
    std::chrono::milliseconds m_timeout;
    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    QTimer m_deadline;
    QByteArray m_body;
};

} // namespace tovel

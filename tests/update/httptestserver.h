#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

namespace tovel::test {

// A local HTTP/1.1 server on 127.0.0.1 for the version check: it reads each request's head,
// records it, then behaves as told. Over TLS it presents a self-signed certificate made for
// the test with the openssl command.
class HttpTestServer : public QObject {
    Q_OBJECT

public:
    enum class Behaviour {
        Answer,       // sends `response` (status line, headers, body, as raw bytes), then closes
        Silent,       // accepts and reads the request, never answers
        Hangup,       // closes as soon as the request is read
        EndlessBody,  // a 200 whose body never ends, sent as fast as the client takes it
    };
    Q_ENUM(Behaviour)

    explicit HttpTestServer(Behaviour behaviour, QByteArray response = {});
    ~HttpTestServer() override;

    // False (with the reason in error()) when the server could not start.
    bool listen(bool tls = false);
    QUrl baseUrl() const;
    QString error() const { return m_error; }

    // A port on which nothing listens: connecting to it is refused.
    static QUrl refusingUrl();

    QList<QByteArray> requests; // the head of every request read, in order
    qint64 bodyBytesSent = 0;   // for EndlessBody: body bytes handed to the socket so far

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void feedBody(QTcpSocket *socket);
    bool makeCertificate(QByteArray &cert, QByteArray &key);

    Behaviour m_behaviour;
    QByteArray m_response;
    QTcpServer *m_server = nullptr;
    bool m_tls = false;
    QString m_error;
    QTemporaryDir m_dir;
};

} // namespace tovel::test

#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
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
        Answer,         // sends its response (status line, headers, body, as raw bytes), then closes
        Silent,         // accepts and reads the request, never answers
        Hangup,         // closes as soon as the request is read
        EndlessBody,    // a 200 whose body never ends, sent as fast as the client takes it
        EndlessHeaders, // a 200 status line, then header lines that never end, as fast
    };
    Q_ENUM(Behaviour)

    explicit HttpTestServer(Behaviour behaviour, QByteArray response = {});
    ~HttpTestServer() override;

    // False (with the reason in error()) when the server could not start.
    bool listen(bool tls = false);
    QUrl baseUrl() const;
    QString error() const { return m_error; }
    // Over TLS: the server's self-signed certificate, for a client that is to trust it.
    QSslCertificate certificate() const { return m_certificate; }

    // A port on which nothing listens: connecting to it is refused.
    static QUrl refusingUrl();

    // For Answer: the response to each request in turn, the last one to every request after it.
    QList<QByteArray> responses;
    QList<QByteArray> requests; // the head of every request read, in order
    qint64 endlessBytesSent = 0; // for the endless kinds: bytes handed to the socket so far

private:
    void accept();
    void readRequest(QTcpSocket *socket);
    void feed(QTcpSocket *socket, const QByteArray &piece);
    bool makeCertificate(QByteArray &cert, QByteArray &key);

    Behaviour m_behaviour;
    QSslCertificate m_certificate;
    QTcpServer *m_server = nullptr;
    bool m_tls = false;
    QString m_error;
};

} // namespace tovel::test

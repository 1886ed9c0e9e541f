#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

namespace tovel {

// One HTTP/1.1 answer read from the bytes as they arrive: the status line, the headers and the
// body (sized, chunked or running until the close). It takes in at most maxBytes in all and keeps
// at most maxBodyBytes of the body, so whatever a server sends, what it costs stays small.
class HttpAnswerReader {
public:
    enum class State {
        Head,   // the status line and headers are still coming
        Body,   // the head is read; the body is coming
        Done,   // the answer ended, or as much of its body as is kept has come
        Failed, // see failure()
    };
    enum class Failure {
        None,
        TooLong,    // maxBytes came before the answer ended
        NotHttp,    // the first line is not an HTTP/1.x status line
        BadFraming, // a length or chunk size that cannot be read, or lengths that disagree
        CutShort,   // the connection closed before the head ended
    };

    HttpAnswerReader(qsizetype maxBytes, qsizetype maxBodyBytes);

    // Takes the next bytes received. Bytes after the end of the answer are not looked at.
    void feed(QByteArrayView bytes);
    // The server closed the connection: a body that runs until the close ends here; a sized or
    // chunked one that has not ended is cut short.
    void closed();

    State state() const { return m_state; }
    Failure failure() const { return m_failure; }
    bool headRead() const { return m_state == State::Body || m_state == State::Done; }
    // The status line and headers, once read.
    int statusCode() const { return m_statusCode; }
    const QByteArray &reasonPhrase() const { return m_reason; }
    // The first value of a header, its name matched without regard to case; empty when absent.
    QByteArray header(QByteArrayView name) const;
    // Every value of a header, in the order received.
    QByteArrayList headerValues(QByteArrayView name) const;
    // The body's first maxBodyBytes, or all of it when shorter.
    const QByteArray &body() const { return m_body; }
    // The connection closed before a sized or chunked body ended.
    bool bodyCutShort() const { return m_bodyCutShort; }
    // For NotHttp: the start of what came instead of a status line, as received, at most
    // kQuotedBytes of it.
    const QByteArray &firstLine() const { return m_line; }

    static constexpr qsizetype kQuotedBytes = 64;

private:
    enum class Framing { None, Length, Chunked, UntilClose };
    enum class ChunkPart { Size, Data, DataEnd };

    // Each takes what it can from the front of bytes and returns how many it took.
    qsizetype readHeadLine(QByteArrayView bytes);
    qsizetype readBody(QByteArrayView bytes);
    qsizetype readChunked(QByteArrayView bytes);
    // Collects a line up to LF into m_line; true when it is whole (without its CR LF).
    bool collectLine(QByteArrayView bytes, qsizetype &taken);
    void headLine(const QByteArray &line);
    void headEnded();
    void keepBody(QByteArrayView bytes);
    void fail(Failure failure);

    qsizetype m_maxBytes;
    qsizetype m_maxBodyBytes;
    qsizetype m_received = 0;
    State m_state = State::Head;
    Failure m_failure = Failure::None;

    QByteArray m_line;
    bool m_statusRead = false;
    int m_statusCode = 0;
    QByteArray m_reason;
    // The header lines as received, one per line and unfolded, LF after each: one allocation
    // however many lines a server sends.
    QByteArray m_headers;

    Framing m_framing = Framing::None;
    ChunkPart m_chunkPart = ChunkPart::Size;
    qint64 m_remaining = 0; // of the sized body, or of the current chunk
    QByteArray m_body;
    bool m_bodyCutShort = false;
};

} // namespace tovel

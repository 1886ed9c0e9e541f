#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tovel::test {

// A named pipe at `path`, watched. Whatever opens it for reading is let through at once: the
// watch opens the other end and closes it again, so the reader finds an empty file instead of
// waiting forever for a writer, and readerCame() tells the test that it happened. A test that
// opened the pipe by mistake thus fails instead of hanging.
class FifoWatch {
public:
    explicit FifoWatch(const QString &path) : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made)
            m_thread = std::thread([this] { watch(); });
    }
    ~FifoWatch() { stop(); }
    FifoWatch(const FifoWatch &) = delete;
    FifoWatch &operator=(const FifoWatch &) = delete;

    bool made() const { return m_made; }
    // Ends the watch and tells whether anything opened the pipe for reading meanwhile. The
    // watch is over first: the reader it let through may run on before the watch has noted it.
    bool readerCame()
    {
        stop();
        return m_readerCame;
    }

private:
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    void watch()
    {
        while (!m_stop) {
            // Opening the writing end without waiting succeeds only while a reader has the
            // pipe open, or waits in its open.
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_readerCame = true;
                ::close(fd);
            }
            ::usleep(1000);
        }
    }

    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_readerCame{false};
    std::thread m_thread;
};

} // namespace tovel::test

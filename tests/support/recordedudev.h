#pragma once

#include "usb/udeveventsource.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>

namespace tovel::test {

// The recorded events by name: "[name]" opens one, KEY=value and parent.KEY=value lines fill
// it, anything else (comments, udevadm's header line) is passed over
// (tests/data/hotplug/udev-events.txt).
inline QHash<QString, UdevEvent> loadEvents(const QString &path)
{
    QHash<QString, UdevEvent> events;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return events;
    static const QRegularExpression property(QStringLiteral("^([A-Za-z0-9_.]+)=(.*)$"));
    UdevEvent *current = nullptr;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = &events[line.mid(1, line.size() - 2)];
            continue;
        }
        const QRegularExpressionMatch m = property.match(line);
        if (!current || line.startsWith(QLatin1Char('#')) || !m.hasMatch())
            continue;
        QByteArray key = m.captured(1).toUtf8();
        const QByteArray value = m.captured(2).toUtf8();
        if (key.startsWith("parent."))
            current->parent.insert(key.mid(7), value);
        else
            current->properties.insert(key, value);
    }
    return events;
}

// A recording played to the monitor as udev's socket would deliver it.
class RecordedSource : public UdevEventSource {
public:
    explicit RecordedSource(QList<UdevEvent> present) : m_present(std::move(present)) {}
    bool start(Sink sink, QString &) override
    {
        m_sink = std::move(sink);
        return true;
    }
    QList<UdevEvent> presentDevices() override { return m_present; }
    void play(const UdevEvent &event) { m_sink(event); }

private:
    QList<UdevEvent> m_present;
    Sink m_sink;
};

} // namespace tovel::test

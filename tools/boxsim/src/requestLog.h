#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// What one box received: every request line on every port, one line
// "<seconds since the epoch> <port> <request line>" each (the time to the microsecond, when the
// line had arrived), written through at once so that a test reading the file sees it immediately.
class RequestLog
{
public:
    explicit RequestLog(const QString &path);
    bool open(QString *error);
    void record(quint16 port, const QByteArray &requestLine);

private:
    QFile m_file;
};

#include "requestLog.h"

#include <chrono>

RequestLog::RequestLog(const QString &path)
    : m_file(path)
{
}

bool RequestLog::open(QString *error)
{
    if (m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    *error = m_file.fileName() + QStringLiteral(": ") + m_file.errorString();
    return false;
}

void RequestLog::record(quint16 port, const QByteArray &requestLine)
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(sinceEpoch).count();
    m_file.write(QByteArray::number(seconds, 'f', 6) + ' ' + QByteArray::number(port) + ' ' + requestLine + '\n');
}

#include "requestLog.h"

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
    m_file.write(QByteArray::number(port) + ' ' + requestLine + '\n');
}

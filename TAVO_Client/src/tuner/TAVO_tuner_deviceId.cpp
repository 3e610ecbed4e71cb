#include "TAVO_tuner_deviceId.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

Q_LOGGING_CATEGORY(lcTunerId, "tavo.tuner.id", QtInfoMsg)

QString TAVO_tuner_deviceId::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/TAVO_Client/tuner-id");
}

bool TAVO_tuner_deviceId::isDeviceId(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9A-F]{8}$"));
    return form.match(text).hasMatch();
}

QString TAVO_tuner_deviceId::udnOf(const QString &deviceId)
{
    // A name-based UUID in a namespace of the tuner's own, drawn once.
    static const QUuid tunerNames(QStringLiteral("{5d0b6c2e-8f3a-4e71-9c55-0a7e3b9d2f14}"));
    return QLatin1String("uuid:") + QUuid::createUuidV5(tunerNames, deviceId).toString(QUuid::WithoutBraces);
}

QString TAVO_tuner_deviceId::load()
{
    QFile kept(filePath());
    if (kept.open(QIODevice::ReadOnly)) {
        const QString id = QString::fromLatin1(kept.read(16)).trimmed();
        if (isDeviceId(id))
            return id;
        qCWarning(lcTunerId).noquote() << filePath() << "holds no tuner id; drawing a new one";
    }
    const QString id = QStringLiteral("%1").arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0')).toUpper();
    QDir().mkpath(QFileInfo(filePath()).path());
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(id.toLatin1() + '\n') < 0 || !file.commit())
        qCWarning(lcTunerId).noquote() << "Cannot keep the tuner id in" << filePath() << file.errorString();
    return id;
}

#include "TAVO_tuner_access.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QSettings>

#include <algorithm>

namespace {

constexpr int saltBytes = 16;
constexpr int digestBytes = 32;
constexpr int tokenBytes = 32;

// The tuner's own file in the user's configuration (~/.config/TAVO/tavo-tuner.conf).
QSettings &settings()
{
    static QSettings file(QStringLiteral("TAVO"), QStringLiteral("tavo-tuner"));
    file.sync();
    return file;
}

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

// Compares without ending at the first difference, so that the time taken tells nothing.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

TAVO_tuner_access::TAVO_tuner_access(bool required, Clock clock)
    : required(required)
    , clock(std::move(clock))
{
}

bool TAVO_tuner_access::hasPassword()
{
    return settings().contains(QStringLiteral("page/digest"));
}

bool TAVO_tuner_access::setPassword(const QString &password, QString *problem)
{
    if (password.size() < minimumPasswordLength) {
        *problem = QStringLiteral("the password must have at least %1 characters").arg(minimumPasswordLength);
        return false;
    }
    const QByteArray salt = randomBytes(saltBytes);
    QSettings &file = settings();
    file.setValue(QStringLiteral("page/salt"), salt.toBase64());
    file.setValue(QStringLiteral("page/rounds"), rounds);
    file.setValue(QStringLiteral("page/digest"), digest(password, salt, rounds).toBase64());
    file.sync();
    // The digest is for the owner's eyes only, as a key of ~/.ssh is.
    QFile::setPermissions(file.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.status() != QSettings::NoError) {
        *problem = QStringLiteral("cannot write %1").arg(file.fileName());
        return false;
    }
    return true;
}

QByteArray TAVO_tuner_access::digest(const QString &password, const QByteArray &salt, int rounds)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, rounds, digestBytes);
}

TAVO_tuner_access::Login TAVO_tuner_access::logIn(const QString &client, const QString &password, QByteArray *cookie,
                                                  qint64 *waitSeconds)
{
    const QDateTime now = clock();
    if (!failures.contains(client) && failures.size() >= clientsRemembered) {
        failures.removeIf([&now](const auto &entry) { return entry.value().until <= now && entry.value().count < freeFailures; });
        // Rather than forget who guessed, a flood of new addresses waits as long as one can.
        if (failures.size() >= clientsRemembered) {
            *waitSeconds = longestWaitSeconds;
            return Login::Waiting;
        }
    }
    Failures &failed = failures[client];
    // Whole seconds, rounded up: a client told to wait 1 s is not let in after 0.5 s.
    *waitSeconds = failed.until.isValid() ? std::max<qint64>(0, (now.msecsTo(failed.until) + 999) / 1000) : 0;
    if (*waitSeconds > 0)
        return Login::Waiting;
    if (!hasPassword())
        return Login::NoPassword;
    QSettings &file = settings();
    const QByteArray salt = QByteArray::fromBase64(file.value(QStringLiteral("page/salt")).toByteArray());
    const int kept = std::clamp(file.value(QStringLiteral("page/rounds")).toInt(), 1, 10 * rounds);
    const QByteArray wanted = QByteArray::fromBase64(file.value(QStringLiteral("page/digest")).toByteArray());
    if (!sameBytes(digest(password, salt, kept), wanted)) {
        // Each wrong password beyond the first few doubles the wait.
        ++failed.count;
        if (failed.count >= freeFailures)
            *waitSeconds = std::min<qint64>(longestWaitSeconds, qint64(1) << std::min(failed.count - freeFailures, 20));
        failed.until = now.addSecs(*waitSeconds);
        return Login::Wrong;
    }
    failures.remove(client);
    *cookie = QByteArray(cookieName) + '=' + newSession() + "; Path=/; HttpOnly; SameSite=Strict; Max-Age="
              + QByteArray::number(sessionSeconds);
    return Login::Accepted;
}

QByteArray TAVO_tuner_access::newSession()
{
    const QDateTime now = clock();
    sessions.removeIf([&now](const auto &session) { return session.value() <= now; });
    if (sessions.size() >= sessionLimit) {
        const auto oldest = std::min_element(sessions.cbegin(), sessions.cend());
        sessions.remove(oldest.key());
    }
    const QByteArray token = randomBytes(tokenBytes).toHex();
    sessions.insert(token, now.addSecs(sessionSeconds));
    return token;
}

bool TAVO_tuner_access::admits(const QByteArray &cookieHeader)
{
    if (!required)
        return true;
    const QByteArray prefix = QByteArray(cookieName) + '=';
    for (QByteArray part : cookieHeader.split(';')) {
        part = part.trimmed();
        if (!part.startsWith(prefix))
            continue;
        const auto session = sessions.constFind(part.mid(prefix.size()));
        if (session != sessions.cend() && session.value() > clock())
            return true;
    }
    return false;
}

#ifndef TAVO_TUNER_ACCESS_H
#define TAVO_TUNER_ACCESS_H

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>

// Who may steer the boxes from the web page when the service listens beyond this computer: the
// owner's password (set with --set-password, kept only as a salted PBKDF2 digest in the user's
// configuration), sessions kept in an HttpOnly, SameSite=Strict cookie, and wrong passwords
// answered more slowly each time, per client address.
class TAVO_tuner_access
{
public:
    static constexpr int minimumPasswordLength = 8;
    // PBKDF2-HMAC-SHA256 rounds: a guess costs an attacker holding the digest what it costs a login.
    static constexpr int rounds = 100000;
    static constexpr int sessionLimit = 64;
    static constexpr qint64 sessionSeconds = 30 * 24 * 3600;
    // Wrong passwords allowed before a client waits, and the longest wait.
    static constexpr int freeFailures = 3;
    static constexpr qint64 longestWaitSeconds = 15 * 60;
    static constexpr int clientsRemembered = 1024;
    static constexpr char cookieName[] = "tavo_session";

    using Clock = std::function<QDateTime()>;

    // `required`: false on the loopback address, where the page is open as it always was.
    explicit TAVO_tuner_access(bool required, Clock clock = &QDateTime::currentDateTimeUtc);

    bool isRequired() const { return required; }
    // Whether the owner has set a password.
    static bool hasPassword();
    // Keeps the password's digest, with a new salt; false with the reason when it is not kept.
    static bool setPassword(const QString &password, QString *problem);

    enum class Login { Accepted, Wrong, Waiting, NoPassword };
    // Checks a password a client sent; on Accepted `cookie` is the Set-Cookie header's value.
    // `waitSeconds` says how long a client Waiting (or just refused) must wait.
    Login logIn(const QString &client, const QString &password, QByteArray *cookie, qint64 *waitSeconds);
    // Whether the request's Cookie header carries a session of this run that has not expired.
    bool admits(const QByteArray &cookieHeader);

private:
    struct Failures
    {
        int count = 0;
        QDateTime until;
    };

    static QByteArray digest(const QString &password, const QByteArray &salt, int rounds);
    QByteArray newSession();

    bool required;
    Clock clock;
    QHash<QByteArray, QDateTime> sessions;  // token -> expiry
    QHash<QString, Failures> failures;      // by client address
};

#endif

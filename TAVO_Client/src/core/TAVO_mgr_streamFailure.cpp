#include "TAVO_mgr_streamFailure.h"

#include <QDir>

using Failure = TAVO_mgr_streamFailure;

Failure Failure::because(const QString &reason, const QString &advice, Kind kind)
{
    QString explanation = reason + QStringLiteral(".\n\n") + advice;
    explanation[0] = explanation[0].toUpper();
    return {reason, explanation, kind};
}

Failure Failure::keyNotPinned(const QString &host)
{
    const QString knownHosts = QDir::homePath() + QStringLiteral("/.gnutls/known_hosts");
    return because(QStringLiteral("the box's key is not the pinned one"),
                   QStringLiteral("The box at %1 did not show the key that %2 holds for it (the line "
                                  "beginning \"|g0|%1|https|\"). Another device may be answering in its "
                                  "place. If the box was really given a new key, write its new public key "
                                  "into that line.")
                       .arg(host, knownHosts),
                   Kind::KeyNotPinned);
}

Failure Failure::credentialsRefused()
{
    return because(QStringLiteral("the box refused the user name and password"),
                   QStringLiteral("They are those of its encrypted stream; they may have been changed on the box."),
                   Kind::Credentials);
}

Failure Failure::connectionRefused()
{
    return because(QStringLiteral("the box refused the connection"),
                   QStringLiteral("Nothing listens on its stream port: it may be restarting or switched off. "
                                  "Try again in a moment."),
                   Kind::Refused);
}

Failure Failure::timedOut()
{
    return because(QStringLiteral("the box did not answer in time"),
                   QStringLiteral("Check that it is switched on and reachable from this computer."), Kind::TimedOut);
}

Failure Failure::httpStatus(int status)
{
    return because(QStringLiteral("the box answered HTTP %1 instead of the stream").arg(status),
                   QStringLiteral("Try again in a moment."), Kind::HttpStatus);
}

Failure Failure::noAnswer(int limitMs)
{
    return because(QStringLiteral("the box sent no picture in time"),
                   QStringLiteral("It took the connection but sent no picture within %1 s. It may be busy or "
                                  "restarting; try again in a moment.")
                       .arg(limitMs / 1000),
                   Kind::NoAnswer);
}

Failure Failure::notTransportStream(qint64 bytes)
{
    return because(QStringLiteral("the box sent %1 bytes that hold no transport stream").arg(bytes),
                   QStringLiteral("It may be starting up or in trouble; its web page may tell more."),
                   Kind::NotTransportStream);
}

Failure Failure::stalled(int limitMs)
{
    return because(QStringLiteral("the box's stream stopped for %1 s").arg(limitMs / 1000),
                   QStringLiteral("The connection stayed open but nothing came."), Kind::Stalled);
}

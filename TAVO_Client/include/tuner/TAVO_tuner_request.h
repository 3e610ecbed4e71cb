#ifndef TAVO_TUNER_REQUEST_H
#define TAVO_TUNER_REQUEST_H

#include <QByteArray>
#include <QString>

// One HTTP request to the tuner service, as far as it is read: its method and path. The head
// (request line and headers) is bounded; the body, if any, is never read.
struct TAVO_tuner_request
{
    static constexpr int headLimitBytes = 8 * 1024;

    enum class State { Incomplete, Ready, Bad, TooLarge };

    QByteArray method;
    QString path;   // decoded, without the query
    QString query;  // as sent, after "?"

    // Reads the head at the start of `received`: Incomplete while its end has not come (and
    // the bound is not reached), Bad for anything but a plain request line.
    static State read(const QByteArray &received, TAVO_tuner_request *request);
};

// Where a path leads. Box ids are the boxes' UDNs (TAVO_tuner_lineup::idOf), numbers the
// channels' numbers: both are checked here, so no other text from a client goes further.
struct TAVO_tuner_route
{
    enum class Kind { Status, Playlist, Channel, Logo, Auto, Discover, Lineup, LineupStatus, LineupPost, NotFound };

    Kind kind = Kind::NotFound;
    QString box;
    QString number;

    static TAVO_tuner_route of(const QString &path);
    // The methods a route answers: GET and HEAD, and POST for a scan request.
    static bool allows(Kind kind, const QByteArray &method);
};

// The head and body of an answer that ends the connection.
namespace TAVO_tuner_answer {

QByteArray head(int status, const QByteArray &contentType, qint64 length = -1);
QByteArray whole(int status, const QByteArray &contentType, const QByteArray &body, bool withBody = true);
// A refusal in plain text: the status and its reason, in one line.
QByteArray refusal(int status, const QString &reason, bool withBody = true);

} // namespace TAVO_tuner_answer

#endif

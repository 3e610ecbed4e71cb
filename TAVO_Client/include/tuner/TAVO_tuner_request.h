#ifndef TAVO_TUNER_REQUEST_H
#define TAVO_TUNER_REQUEST_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// One HTTP request to the tuner service, as far as it is read: its method, its path and the
// headers that say where it was sent and from which page. The head (request line and headers)
// is bounded; the body, if any, is never read.
struct TAVO_tuner_request
{
    static constexpr int headLimitBytes = 8 * 1024;

    enum class State { Incomplete, Ready, Bad, TooLarge };

    QByteArray method;
    QString path;   // decoded, without the query
    QString query;  // as sent, after "?"
    QByteArray host;       // as sent; empty when there is none (HTTP/1.0)
    QByteArray origin;     // the page's origin a browser names; empty when none is named
    QByteArray fetchSite;  // Sec-Fetch-Site: how a browser sees the page against the service
    QByteArray userAgent;      // what the client says it is, as sent
    QByteArray cookie;         // the web page's session
    QByteArray authorization;  // the web page's password, when it logs in

    // Reads the head at the start of `received`: Incomplete while its end has not come (and
    // the bound is not reached), Bad for anything but a plain request line.
    static State read(const QByteArray &received, TAVO_tuner_request *request);

    // Whether the request was sent to this service under a name no other site's page can take
    // (DNS rebinding): an IP address, one of `ownNames` (this computer's), or no Host at all.
    bool isForUs(const QStringList &ownNames) const;
    // Whether a browser says a page of another site sent it; TV software and players say nothing.
    bool isFromAnotherSite() const;
    // The names of this computer a client may reach the service by: localhost, its host name and
    // that name in .local (mDNS).
    static QStringList ownNames();
    // The client as the status page names it: what it says it is, on one line and cut short, then
    // its address ("Kodi/20.1 (Linux) (192.168.1.20:38950)"); its address alone when it says nothing.
    static QString clientName(const QByteArray &userAgent, const QString &address);
    static constexpr int userAgentShownChars = 60;
};

// Where a path leads. Box ids are the boxes' UDNs (TAVO_tuner_lineup::idOf), numbers the
// channels' numbers: both are checked here, so no other text from a client goes further.
struct TAVO_tuner_route
{
    enum class Kind { Status, Playlist, Channel, Logo, Auto, Discover, Lineup, LineupXml, LineupStatus, LineupPost, DeviceXml, NotFound };

    Kind kind = Kind::NotFound;
    QString box;
    QString number;

    static TAVO_tuner_route of(const QString &path);
    // The methods a route answers: GET and HEAD, and POST for a scan request.
    static bool allows(Kind kind, const QByteArray &method);
    // The routes that send a box keys (or stand for doing so): never asked for by another site.
    static bool steersBox(Kind kind);
};

// The head and body of an answer that ends the connection.
namespace TAVO_tuner_answer {

// The errors an HDHomeRun tuner names beside a 503, which TV software shows or acts on.
inline constexpr char tunerInUse[] = "X-HDHomeRun-Error: 804 Tuner In Use\r\n";
inline constexpr char allTunersInUse[] = "X-HDHomeRun-Error: 805 All Tuners In Use\r\n";

// `more`: further header lines, each ended by CRLF.
QByteArray head(int status, const QByteArray &contentType, qint64 length = -1, const QByteArray &more = {});
QByteArray whole(int status, const QByteArray &contentType, const QByteArray &body, bool withBody = true,
                 const QByteArray &more = {});
// A refusal in plain text: the status and its reason, in one line.
QByteArray refusal(int status, const QString &reason, bool withBody = true, const QByteArray &more = {});

} // namespace TAVO_tuner_answer

#endif

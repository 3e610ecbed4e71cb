#ifndef TAVO_XML_XMLDOWNLOADER_H
#define TAVO_XML_XMLDOWNLOADER_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QSaveFile;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;
class QWidget;

// Fetches one XML file from a box into the cache; a fetched device description is parsed at
// once. One downloader serves one file.
//
// Ownership: create it with new; it takes ownership of the QUrl handed to downloadFile and
// deletes itself (and the URL) once the download has ended, whatever the outcome. One still
// under way when the process ends belongs to the shared network manager, which outlives it.
//
// A box cannot fill the disk or hold a download open: a body larger than maxFileSize, or a
// download still running after timeLimitMs, ends as a failed download. A failed download never
// leaves a file behind, and the file appears only once its download has completed.
class TAVO_xml_xmlDownloader : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 maxFileSize = 1024 * 1024;
    static constexpr int timeLimitMs = 10000;

    // How a download ended, for a caller that must tell the user.
    enum class Outcome {
        NoAnswer,       // no HTTP answer at all: nothing listens, or it stayed silent
        Refused,        // an answer other than a whole file with status 200
        NotSaved,       // the local file could not be written
        NotRegistered,  // a device description that the parser did not register
        Registered,     // a device description of a box not listed before, now listed
        AlreadyListed,  // a device description of a listed box, whose record it replaced
        Saved,          // any other file, now in the cache
    };
    Q_ENUM(Outcome)

    explicit TAVO_xml_xmlDownloader(QWidget *parent);
    ~TAVO_xml_xmlDownloader() override;

    // False when the local file cannot be opened (after the "Cannot save file" box).
    bool downloadFile(QUrl *url, QString savePath, QString host, QString uuid, QString tvSystem);

Q_SIGNALS:
    // Emitted once, as the download ends: how it went, and for a registered device description
    // (Registered, AlreadyListed) the UDN of its box.
    void downloadFinished(TAVO_xml_xmlDownloader::Outcome outcome, const QString &udn);

private Q_SLOTS:
    void readResponseHeader();
    void updateDataReadProgress();
    void httpRequestFinished();
    void httpRequestTimedOut();

private:
    static QNetworkAccessManager &network();
    void sendRequest();
    void abortRequest();
    Outcome parseIfDeviceDescription(QString *udn);
    void finish(Outcome outcome, const QString &udn = QString());

    // The main window; a download may outlive it (a test's window, say) and then parses nothing.
    QPointer<QWidget> parentWidget;
    QNetworkReply *reply = nullptr;
    // Written aside and put in place only when complete, so a file at fileName is always whole.
    std::unique_ptr<QSaveFile> file;  // null when no download is under way
    std::unique_ptr<QUrl> downloadUrl;
    QString fileName;
    bool httpRequestAborted = false;
    QTimer timeLimit;
};

#endif

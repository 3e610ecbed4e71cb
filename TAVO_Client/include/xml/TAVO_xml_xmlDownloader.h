#ifndef TAVO_XML_XMLDOWNLOADER_H
#define TAVO_XML_XMLDOWNLOADER_H

#include <QObject>
#include <QString>

class QUrl;
class QWidget;

// Fetches one XML file from a box into the cache; a fetched device description is parsed at
// once. One downloader serves one file.
//
// Ownership: create it with new; it takes ownership of the QUrl handed to downloadFile and
// deletes itself (and the URL) once the download has ended, whatever the outcome.
class TAVO_xml_xmlDownloader : public QObject
{
    Q_OBJECT

public:
    explicit TAVO_xml_xmlDownloader(QWidget *parent);

    // False when the local file cannot be opened (after the "Cannot save file" box).
    bool downloadFile(QUrl *url, QString savePath, QString host, QString uuid, QString tvSystem);

private:
    QWidget *parentWidget;
};

#endif

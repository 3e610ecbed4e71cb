#include "TAVO_xml_xmlDownloader.h"

#include <QUrl>

TAVO_xml_xmlDownloader::TAVO_xml_xmlDownloader(QWidget *parent)
    : QObject(nullptr)
    , parentWidget(parent)
{
}

bool TAVO_xml_xmlDownloader::downloadFile(QUrl *url, QString, QString, QString, QString)
{
    delete url;
    deleteLater();
    return false;
}

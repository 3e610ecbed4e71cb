#include "TAVO_test_downloads.h"

#include "TAVO_xml_xmlDownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

TAVO_test_downloads::TAVO_test_downloads()
{
    // A downloader is a child of the manager that carries it.
    const TAVO_xml_xmlDownloader probe(nullptr);
    auto *manager = qobject_cast<QNetworkAccessManager *>(probe.parent());
    Q_ASSERT(manager);
    // The downloader hears of the reply in the same step, before or after the manager tells of it:
    // the download counts as ended once that step is over.
    connect(manager, &QNetworkAccessManager::finished, this, [this](QNetworkReply *reply) {
        const QString url = reply->url().toString();
        QMetaObject::invokeMethod(this, [this, url] { endedUrls.append(url); }, Qt::QueuedConnection);
    });
}

int TAVO_test_downloads::ended(const QString &urlPart) const
{
    return int(endedUrls.filter(urlPart).size());
}

bool TAVO_test_downloads::waitForEnded(const QString &urlPart, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return ended(urlPart) >= count; }, timeoutMs);
}

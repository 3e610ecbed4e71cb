#include "TAVO_mgr_mainManager.h"
#include "TAVO_test_httpServer.h"
#include "TAVO_ui_mainWindow.h"
#include "TAVO_xml_xmlDownloader.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using Answer = TAVO_test_httpServer::Answer;

Q_DECLARE_METATYPE(TAVO_test_httpServer::Answer)

namespace {

// Longer than the downloader's own time limit, so a hanging download is seen as one.
constexpr int downloadEndTimeoutMs = TAVO_xml_xmlDownloader::timeLimitMs + 5000;

const QByteArray description = "<root><device><deviceType>urn:vornex-com:device:TavoStreamer:1</deviceType>"
                                "<friendlyName>Den</friendlyName><UDN>uuid:u-1</UDN></device></root>";

struct ClosedBox
{
    QString title;
    QString text;
    int buttons = 0;
};

// Clicks OK on the first modal message box that opens and tells what it said.
void closeNextMessageBox(ClosedBox *seen)
{
    QTimer::singleShot(50, [seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            closeNextMessageBox(seen);
            return;
        }
        *seen = {box->windowTitle(), box->text(), int(box->buttons().size())};
        box->button(QMessageBox::Ok)->click();
    });
}

} // namespace

class tst_xmlDownloader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedDownloadLeavesNoFile_data();
    void failedDownloadLeavesNoFile();
    void completeFileStays_data();
    void completeFileStays();
    void fileAppearsOnlyWhenComplete();
    void sendsThePathWithoutQuery();
    void urlWithoutPortIsFetchedFromPort80();
    void unwritableFileShowsMessageAndSendsNothing();
    void descriptionIsParsedAndOtherFilesAreNot();

private:
    // Starts a download of `path` on the server into `savePath` and waits until the downloader
    // has ended (it deletes itself).
    bool download(const QString &url, const QString &savePath, QWidget *window = nullptr);

    QTemporaryDir folder;
};

bool tst_xmlDownloader::download(const QString &url, const QString &savePath, QWidget *window)
{
    QPointer<TAVO_xml_xmlDownloader> downloader = new TAVO_xml_xmlDownloader(window);
    const bool sent = downloader->downloadFile(new QUrl(url), savePath, QString(), QString(), QString());
    if (!QTest::qWaitFor([&] { return downloader.isNull(); }, downloadEndTimeoutMs))
        qFatal("the downloader did not end");
    return sent;
}

void tst_xmlDownloader::failedDownloadLeavesNoFile_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QByteArray>("body");

    const QByteArray oversized(TAVO_xml_xmlDownloader::maxFileSize + 1, ' ');
    QTest::newRow("404") << Answer::NotFound << QByteArray();
    QTest::newRow("301 is not followed") << Answer::Redirect << QByteArray();
    QTest::newRow("oversized body") << Answer::Body << oversized;
    QTest::newRow("oversized body without length") << Answer::Unframed << oversized;
    QTest::newRow("body that never ends") << Answer::Trickle << QByteArray();
    QTest::newRow("box that never answers") << Answer::Silent << QByteArray();
}

void tst_xmlDownloader::failedDownloadLeavesNoFile()
{
    QFETCH(Answer, answer);
    QFETCH(QByteArray, body);
    TAVO_test_httpServer box(answer, body);
    QVERIFY(box.listen());
    const QString savePath = folder.filePath(QStringLiteral("failed.xml"));

    QVERIFY(download(box.baseUrl() + QStringLiteral("/description.xml"), savePath));

    QVERIFY(!QFile::exists(savePath));
    QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QCOMPARE(box.requestLines(), QStringList{QStringLiteral("GET /description.xml HTTP/1.1")});
}

void tst_xmlDownloader::completeFileStays_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("with length") << Answer::Body << description;
    QTest::newRow("without length") << Answer::Unframed << description;
    QTest::newRow("exactly the largest size") << Answer::Body << QByteArray(TAVO_xml_xmlDownloader::maxFileSize, 'x');
}

void tst_xmlDownloader::completeFileStays()
{
    QFETCH(Answer, answer);
    QFETCH(QByteArray, body);
    TAVO_test_httpServer box(answer, body);
    QVERIFY(box.listen());
    const QString savePath = folder.filePath(QStringLiteral("complete.xml"));

    QVERIFY(download(box.baseUrl() + QStringLiteral("/rcu/remote.xml"), savePath));

    QFile file(savePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), body);
}

// The controller takes an existing file for a finished download.
void tst_xmlDownloader::fileAppearsOnlyWhenComplete()
{
    TAVO_test_httpServer box(Answer::Trickle);
    QVERIFY(box.listen());
    const QString savePath = folder.filePath(QStringLiteral("rcu-in-progress.xml"));
    QPointer<TAVO_xml_xmlDownloader> downloader = new TAVO_xml_xmlDownloader(nullptr);
    QVERIFY(downloader->downloadFile(new QUrl(box.baseUrl() + QStringLiteral("/rcu/remote.xml")), savePath, QString(),
                                     QString(), QString()));
    QVERIFY(box.waitForRequests(1));
    // Part of the file came, the rest keeps it waiting.
    QVERIFY(QTest::qWaitFor([&] { return box.trickledBytes() >= 3; }, 5000));
    QVERIFY(!QFile::exists(savePath));
    QTRY_VERIFY_WITH_TIMEOUT(downloader.isNull(), downloadEndTimeoutMs);
}

void tst_xmlDownloader::sendsThePathWithoutQuery()
{
    TAVO_test_httpServer box(Answer::Body, description);
    QVERIFY(box.listen());
    download(box.baseUrl() + QStringLiteral("/dir/remote.xml?key=PWR#top"), folder.filePath(QStringLiteral("q.xml")));
    QCOMPARE(box.requestLines(), QStringList{QStringLiteral("GET /dir/remote.xml HTTP/1.1")});
}

// Root in the private network may take port 80; elsewhere this case cannot be shown.
void tst_xmlDownloader::urlWithoutPortIsFetchedFromPort80()
{
    TAVO_test_httpServer box(Answer::Body, description);
    if (!box.listen(QHostAddress(QStringLiteral("127.0.0.80")), 80))
        QSKIP("port 80 cannot be taken here");
    const QString savePath = folder.filePath(QStringLiteral("port80.xml"));
    QVERIFY(download(QStringLiteral("http://127.0.0.80/description.xml"), savePath));
    QCOMPARE(box.requestLines(), QStringList{QStringLiteral("GET /description.xml HTTP/1.1")});
    QVERIFY(QFile::exists(savePath));
}

void tst_xmlDownloader::unwritableFileShowsMessageAndSendsNothing()
{
    TAVO_test_httpServer box(Answer::Body, description);
    QVERIFY(box.listen());
    ClosedBox seen;
    closeNextMessageBox(&seen);

    QVERIFY(!download(box.baseUrl() + QStringLiteral("/d.xml"), folder.filePath(QStringLiteral("missing/d.xml"))));

    QCOMPARE(seen.title, QStringLiteral("Message"));
    QCOMPARE(seen.text, QStringLiteral("Cannot save file"));
    QCOMPARE(seen.buttons, 1);
    // A download that follows reaches the box first.
    QVERIFY(download(box.baseUrl() + QStringLiteral("/next.xml"), folder.filePath(QStringLiteral("next.xml"))));
    QCOMPARE(box.requestLines(), QStringList{QStringLiteral("GET /next.xml HTTP/1.1")});
}

// The window starts discovery: this runs inside the private network like every test.
void tst_xmlDownloader::descriptionIsParsedAndOtherFilesAreNot()
{
    TAVO_ui_mainWindow window;
    TAVO_test_httpServer box(Answer::Body, description);
    QVERIFY(box.listen());
    QDir(folder.path()).mkpath(QStringLiteral("u-1/rcu"));

    const QString rcuPath = folder.filePath(QStringLiteral("u-1/rcu/DeviceDescription.txt"));
    download(box.baseUrl() + QStringLiteral("/rcu/remote.xml"), rcuPath, &window);
    QCOMPARE(window.mManager->getServerCount(), 0);
    QVERIFY(QFile::exists(rcuPath));

    download(box.baseUrl() + QStringLiteral("/description.xml"), folder.filePath(QStringLiteral("u-1/DeviceDescription.xml")),
             &window);
    QCOMPARE(window.mManager->getServerCount(), 1);
    QCOMPARE(window.mManager->getServer(0)->port, QString::number(box.port()));
    QCOMPARE(window.findChild<QTableWidget *>()->item(0, 0)->text(), QStringLiteral("Den (127.0.0.1)"));
}

QTEST_MAIN(tst_xmlDownloader)
#include "tst_xmlDownloader.moc"

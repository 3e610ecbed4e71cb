// The real program on a real X display: title, size, icon and the visible layout.

#include "TAVO_test_desktop.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using TAVO_test_desktop::run;

const QString windowTitle = QStringLiteral("KLD-450R v0.2.7");

QString waitForWindow()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString id = run(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--name"), windowTitle})
                               .section(QLatin1Char('\n'), 0, 0);
        if (!id.isEmpty())
            return id;
        QTest::qWait(100);
    }
    return QString();
}

} // namespace

class tst_startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTitledWindowOfItsSize();
    void findsItsIconFromAnyWorkingFolder();
    void showsServerPaneAndBlackVideoArea();

private:
    QProcess client;
    QTemporaryDir workingFolder;
    QString windowId;
};

void tst_startup::init()
{
    client.setWorkingDirectory(workingFolder.path());
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(QStringLiteral(TAVO_BIN_DIR "/TAVO_Client"), {});
    QVERIFY(client.waitForStarted());
    windowId = waitForWindow();
    QVERIFY2(!windowId.isEmpty(), "the client's window did not appear");
}

void tst_startup::cleanup()
{
    client.kill();
    client.waitForFinished();
}

void tst_startup::showsTitledWindowOfItsSize()
{
    const QString geometry = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), windowId});
    QVERIFY2(geometry.contains(QStringLiteral("Geometry: 853x480")), qPrintable(geometry));
}

void tst_startup::findsItsIconFromAnyWorkingFolder()
{
    const QString icon = run(QStringLiteral("xprop"), {QStringLiteral("-id"), windowId, QStringLiteral("_NET_WM_ICON")});
    QVERIFY2(icon.contains(QStringLiteral("Icon (")), qPrintable(icon.left(200)));
}

void tst_startup::showsServerPaneAndBlackVideoArea()
{
    QTest::qWait(500);
    const QString shot = workingFolder.filePath(QStringLiteral("startup.png"));
    run(QStringLiteral("import"), {QStringLiteral("-window"), windowId, shot});
    QFile::remove(QStringLiteral(TAVO_BIN_DIR "/../startup.png"));
    QFile::copy(shot, QStringLiteral(TAVO_BIN_DIR "/../startup.png"));
    const QImage image(shot);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(853, 480));
    // The video area fills most of the right side and is black; the server pane on the left is not.
    QCOMPARE(QColor(image.pixel(600, 200)), QColor(Qt::black));
    QVERIFY(QColor(image.pixel(40, 200)) != QColor(Qt::black));
    const QString text = run(QStringLiteral("tesseract"), {shot, QStringLiteral("-"), QStringLiteral("--psm"), QStringLiteral("11")});
    // The greyed "Controller" is too faint to read back; the unit tests check it.
    for (const char *label : {"Start", "Stop", "WebUI"})
        QVERIFY2(text.contains(QLatin1String(label)), qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_startup)
#include "tst_startup.moc"

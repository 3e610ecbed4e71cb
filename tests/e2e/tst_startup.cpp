// The real program on a real X display: title, size, icon and the visible layout; its command
// line; the program installed into a prefix.

#include "TAVO_test_desktop.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using TAVO_test_desktop::run;

const QString windowTitle = QStringLiteral("KLD-450R v0.2.7");

QString waitForWindow(qint64 processId)
{
    QString id;
    static_cast<void>(QTest::qWaitFor([&] {
        id = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--pid"),
                                             QString::number(processId), QStringLiteral("--name"), windowTitle})
                 .section(QLatin1Char('\n'), 0, 0);
        return !id.isEmpty();
    }, 10000));
    return id;
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
    void answersOnTheCommandLine_data();
    void answersOnTheCommandLine();
    void installsIntoAPrefix();

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
    windowId = waitForWindow(client.processId());
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

// The video area fills most of the right side and is black; the server pane on the left is not.
// The window is drawn a while after it appears: the test takes shots until it shows.
void tst_startup::showsServerPaneAndBlackVideoArea()
{
    const QString shot = workingFolder.filePath(QStringLiteral("startup.png"));
    QImage image;
    // The checks below tell what the last shot lacked.
    static_cast<void>(QTest::qWaitFor([&] {
        run(QStringLiteral("import"), {QStringLiteral("-window"), windowId, shot});
        image = QImage(shot);
        return image.size() == QSize(853, 480) && QColor(image.pixel(600, 200)) == QColor(Qt::black)
            && QColor(image.pixel(40, 200)) != QColor(Qt::black);
    }, 10000));
    QFile::remove(QStringLiteral(TAVO_BIN_DIR "/../startup.png"));
    QFile::copy(shot, QStringLiteral(TAVO_BIN_DIR "/../startup.png"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(853, 480));
    QCOMPARE(QColor(image.pixel(600, 200)), QColor(Qt::black));
    QVERIFY(QColor(image.pixel(40, 200)) != QColor(Qt::black));
    const QString text = run(QStringLiteral("tesseract"), {shot, QStringLiteral("-"), QStringLiteral("--psm"), QStringLiteral("11")});
    // The greyed "Controller" is too faint to read back; the unit tests check it.
    for (const char *label : {"Start", "Stop", "WebUI"})
        QVERIFY2(text.contains(QLatin1String(label)), qPrintable(text));
}

void tst_startup::answersOnTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::newRow("--version") << QStringList{"--version"} << false << 0 << windowTitle + "\n";
    QTest::newRow("--help") << QStringList{"--help"} << false << 0 << "--box <ADDRESS>";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << true << 1 << "Unknown option 'bogus'.";
    QTest::newRow("bad --box") << QStringList{"--box", "http://"} << true << 1 << "is not a host, host:port or http:// URL";
}

// --help and --version need no display, as in a terminal without one.
void tst_startup::answersOnTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QProcess answering;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!display)
        environment.remove(QStringLiteral("DISPLAY"));
    answering.setProcessEnvironment(environment);
    answering.start(QStringLiteral(TAVO_BIN_DIR "/TAVO_Client"), arguments);
    QVERIFY(answering.waitForFinished(20000));
    const QString output = QString::fromUtf8(answering.readAllStandardOutput() + answering.readAllStandardError());
    QCOMPARE(answering.exitStatus(), QProcess::NormalExit);
    QCOMPARE(answering.exitCode(), exitCode);
    QVERIFY2(output.contains(says), qPrintable(output));
}

// Installed, the images are in the prefix's share/tavo-client/, not beside the program.
void tst_startup::installsIntoAPrefix()
{
    QTemporaryDir prefix;
    const QString installLog = run(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(TAVO_BIN_DIR "/.."),
                                                            QStringLiteral("--prefix"), prefix.path()});
    QVERIFY2(QFile::exists(prefix.filePath("share/tavo-client/image/IP_Streamer.png")), qPrintable(installLog));
    QVERIFY(!QDir(prefix.filePath("bin/image")).exists());
    // What desktops and software centres read of it is valid.
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {prefix.filePath("share/applications/com.vornex.TavoClient.desktop")});
    QVERIFY(validate.waitForFinished() && validate.exitCode() == 0);
    QVERIFY2(validate.readAll().isEmpty(), "desktop-file-validate has hints");
    validate.start(QStringLiteral("appstreamcli"), {"validate", "--no-net", prefix.filePath("share/metainfo/com.vornex.TavoClient.metainfo.xml")});
    QVERIFY2(validate.waitForFinished() && validate.exitCode() == 0, validate.readAll().constData());
    QVERIFY(QFile::exists(prefix.filePath("share/icons/hicolor/128x128/apps/com.vornex.TavoClient.png")));

    QProcess installed;
    installed.setWorkingDirectory(workingFolder.path());
    installed.start(prefix.filePath("bin/TAVO_Client"), {});
    QVERIFY(installed.waitForStarted());
    const QString installedWindow = waitForWindow(installed.processId());
    const QString icon = installedWindow.isEmpty()
                             ? QString()
                             : run(QStringLiteral("xprop"), {QStringLiteral("-id"), installedWindow, QStringLiteral("_NET_WM_ICON")});
    installed.kill();
    installed.waitForFinished();
    QVERIFY2(icon.contains(QStringLiteral("Icon (128 x 128)")), qPrintable(icon.left(200)));
}

QTEST_GUILESS_MAIN(tst_startup)
#include "tst_startup.moc"

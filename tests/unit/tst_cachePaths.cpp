#include "TAVO_mgr_cache.h"
#include "TAVO_mgr_savedFiles.h"

#include <QDir>
#include <QtTest>

// Boxes name the cache folders and files; nothing a box says may put a file outside its folder.
class tst_cachePaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rootIsPrivateToTheProcess();
    void unusableTempFolderGivesNoRoot_data();
    void unusableTempFolderGivesNoRoot();
    void onlyTheOwnRootMayBeDeleted_data();
    void onlyTheOwnRootMayBeDeleted();
    void boxFolder_data();
    void boxFolder();
    void boxFile_data();
    void boxFile();
    void keptFileNeverReplacesAnother();
    void cleanupTestCase();
};

void tst_cachePaths::rootIsPrivateToTheProcess()
{
    const QString root = TAVO_mgr_cache::root();
    QVERIFY(QDir(root).exists());
    QVERIFY(root.endsWith(QLatin1Char('/')));
    QVERIFY(QDir(root).isAbsolute());
    QVERIFY(QDir::cleanPath(root) != QDir::cleanPath(QDir::current().filePath(QStringLiteral("xml"))));
    QVERIFY(QDir(root).isEmpty());
    QDir(root).rmdir(root);
}

void tst_cachePaths::unusableTempFolderGivesNoRoot_data()
{
    QTest::addColumn<QString>("tempFolder");
    QTest::newRow("missing") << "/nonexistent-tavo-temp";
    QTest::newRow("none: Qt's name for a missing $TMPDIR") << "";
    QTest::newRow("a file") << "/proc/self/status";
    QTest::newRow("below a file") << "/proc/self/status/tmp";
}

// An invalid temporary folder has an empty path: taken as the cache, it made "/" the root.
void tst_cachePaths::unusableTempFolderGivesNoRoot()
{
    QFETCH(QString, tempFolder);
    QString problem;
    QCOMPARE(TAVO_mgr_cache::createRoot(tempFolder, &problem), QString());
    QVERIFY(!problem.isEmpty());
}

void tst_cachePaths::onlyTheOwnRootMayBeDeleted_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("own");
    const QString root = TAVO_mgr_cache::root();
    QTest::newRow("own root") << root << true;
    QTest::newRow("file system root") << "/" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("temporary folder") << QDir::tempPath() + QLatin1Char('/') << false;
    QTest::newRow("without the trailing slash") << root.chopped(1) << false;
    QTest::newRow("a box folder") << root + "u-1/" << false;
    QTest::newRow("climbing out") << root + "../" << false;
    QTest::newRow("another client's cache") << QDir::tempPath() + "/TAVO_Client-other/" << false;
}

void tst_cachePaths::onlyTheOwnRootMayBeDeleted()
{
    QFETCH(QString, path);
    QFETCH(bool, own);
    QDir().mkpath(TAVO_mgr_cache::root() + "u-1");
    QCOMPARE(TAVO_mgr_cache::isRoot(path), own);
}

void tst_cachePaths::boxFolder_data()
{
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("uuid") << "4d696e69-444c-164e-9d41-001ec0bbf1a5" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("separator") << "a/b" << false;
    QTest::newRow("climbing") << "../../home" << false;
    QTest::newRow("backslash") << "a\\b" << false;
    QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << false;
}

void tst_cachePaths::boxFolder()
{
    QFETCH(QString, uuid);
    QFETCH(bool, accepted);
    const QString folder = TAVO_mgr_cache::boxFolder(uuid);
    QCOMPARE(!folder.isEmpty(), accepted);
    if (accepted)
        QCOMPARE(folder, TAVO_mgr_cache::root() + uuid + QLatin1Char('/'));
}

void tst_cachePaths::boxFile_data()
{
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QString>("boxPath");
    QTest::addColumn<QString>("expected");  // below the box folder; empty when refused
    const QString uuid = QStringLiteral("u-1");
    QTest::newRow("rcu file") << uuid << "/rcu/tv.xml" << "rcu/tv.xml";
    QTest::newRow("other folder of the box") << uuid << "/other/tv.xml" << "other/tv.xml";
    QTest::newRow("no leading slash") << uuid << "rcu/tv.xml" << "";
    QTest::newRow("starting with @") << uuid << "@evil.example/rcu/tv.xml" << "";
    QTest::newRow("climbing out") << uuid << "/../u-2/rcu/tv.xml" << "";
    QTest::newRow("climbing far out") << uuid << "/rcu/../../../etc/passwd" << "";
    QTest::newRow("the folder itself") << uuid << "/" << "";
    QTest::newRow("NUL") << uuid << QStringLiteral("/rcu/a") + QChar(0) + QStringLiteral(".xml") << "";
    QTest::newRow("empty path") << uuid << "" << "";
    QTest::newRow("refused uuid") << ".." << "/rcu/tv.xml" << "";
}

void tst_cachePaths::boxFile()
{
    QFETCH(QString, uuid);
    QFETCH(QString, boxPath);
    QFETCH(QString, expected);
    const QString path = TAVO_mgr_cache::boxFile(uuid, boxPath);
    QCOMPARE(path, expected.isEmpty() ? QString() : TAVO_mgr_cache::boxFolder(uuid) + expected);
}

// Two pictures kept in the same second: the second gets a name of its own.
void tst_cachePaths::keptFileNeverReplacesAnother()
{
    QTemporaryDir home;
    const QByteArray userHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    const QDateTime sameSecond(QDate(2024, 5, 1), QTime(20, 15, 33));
    QString problem;
    const QString first = TAVO_mgr_savedFiles::createNew(QStandardPaths::PicturesLocation, QStringLiteral("Living Room"),
                                                         QStringLiteral("png"), &problem, sameSecond);
    QFile firstFile(first);
    QVERIFY(firstFile.open(QIODevice::WriteOnly) && firstFile.write("first") == 5);
    firstFile.close();
    const QString second = TAVO_mgr_savedFiles::createNew(QStandardPaths::PicturesLocation, QStringLiteral("Living Room"),
                                                          QStringLiteral("png"), &problem, sameSecond);
    qputenv("HOME", userHome);

    QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("Living Room 2024-05-01 20.15.33 (2).png"));
    QVERIFY(firstFile.open(QIODevice::ReadOnly));
    QCOMPARE(firstFile.readAll(), QByteArray("first"));
}

void tst_cachePaths::cleanupTestCase()
{
    QDir(TAVO_mgr_cache::root()).removeRecursively();
}

QTEST_MAIN(tst_cachePaths)
#include "tst_cachePaths.moc"

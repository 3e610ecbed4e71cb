#include "TAVO_ui_panelPlace.h"

#include <QtTest>

// The remote panel's frame is 429 × 784; the screen 1280 × 1024 unless a row says otherwise.
class tst_panelPlace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onScreen_data();
    void onScreen();
    void besideWindow_data();
    void besideWindow();
};

void tst_panelPlace::onScreen_data()
{
    QTest::addColumn<QPoint>("place");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("expected");
    const QRect screen(0, 0, 1280, 1024);
    QTest::newRow("on the screen") << QPoint(100, 100) << screen << QPoint(100, 100);
    QTest::newRow("title bar above the screen") << QPoint(850, -20) << screen << QPoint(850, 0);
    QTest::newRow("past the right edge") << QPoint(1000, 100) << screen << QPoint(851, 100);
    QTest::newRow("past the left edge") << QPoint(-50, 100) << screen << QPoint(0, 100);
    QTest::newRow("past the bottom") << QPoint(100, 500) << screen << QPoint(100, 240);
    QTest::newRow("taller than the screen: title bar at its top") << QPoint(100, -50) << QRect(0, 0, 1280, 600) << QPoint(100, 0);
    QTest::newRow("below a bar at the screen's top") << QPoint(100, 10) << QRect(0, 30, 1280, 994) << QPoint(100, 30);
    QTest::newRow("second screen") << QPoint(1200, 100) << QRect(1280, 0, 1920, 1080) << QPoint(1280, 100);
}

void tst_panelPlace::onScreen()
{
    QFETCH(QPoint, place);
    QFETCH(QRect, screen);
    QFETCH(QPoint, expected);
    QCOMPARE(TAVO_ui_panelPlace::onScreen(QRect(place, QSize(429, 784)), screen), expected);
}

void tst_panelPlace::besideWindow_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("room at the right") << QRect(0, 0, 762, 505) << QPoint(762, 0);
    QTest::newRow("room at the left only") << QRect(500, 100, 762, 505) << QPoint(71, 100);
    QTest::newRow("no room: the roomier right, over the window") << QRect(200, 0, 855, 505) << QPoint(851, 0);
    QTest::newRow("no room: the roomier left, over the window") << QRect(300, 0, 855, 505) << QPoint(0, 0);
    QTest::newRow("full screen") << QRect(0, 0, 1280, 1024) << QPoint(851, 0);
    QTest::newRow("window low on the screen") << QRect(0, 600, 762, 400) << QPoint(762, 240);
}

void tst_panelPlace::besideWindow()
{
    QFETCH(QRect, window);
    QFETCH(QPoint, expected);
    QCOMPARE(TAVO_ui_panelPlace::besideWindow(window, QSize(429, 784), QRect(0, 0, 1280, 1024)), expected);
}

QTEST_MAIN(tst_panelPlace)
#include "tst_panelPlace.moc"

// The controller panel: its set-up, the controller choice, the enabling rule, the key URL and
// what its buttons do.

#include "TAVO_mgr_httpRequest.h"
#include "TAVO_test_keyServer.h"
#include "TAVO_ui_controller.h"
#include "TAVO_ui_keySlots.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString imageFolder = QStringLiteral(TAVO_BIN_DIR "/image/");

struct Controller
{
    QString id;
    QString name;
    QString supportKeys;
};

QString descriptionXml(const QString &totalAmount, const QString &defaultId, const QList<Controller> &controllers,
                       const QString &version = QStringLiteral("1.0"))
{
    QString xml = QStringLiteral("<RCU version=\"%1\"><totalAmount>%2</totalAmount><defaultId>%3</defaultId>")
                      .arg(version, totalAmount, defaultId);
    for (const Controller &controller : controllers)
        xml += QStringLiteral("<remoteController><id>%1</id><name>%2</name><supportKeys>%3</supportKeys>"
                              "</remoteController>")
                   .arg(controller.id, controller.name, controller.supportKeys);
    return xml + QStringLiteral("</RCU>");
}

const QList<Controller> threeControllers = {{"tv", "Television", "PWR,MENU,VOL_UP"},
                                            {"dvd", "DVD Player", "EJECT,PLAY,STOP_REC"},
                                            {"amp", "Amplifier", "MUTE,VOL_DN"}};

QList<Controller> controllersNumbered(int count)
{
    QList<Controller> list;
    for (int i = 1; i <= count; ++i)
        list.append({QString::number(i), QStringLiteral("Remote %1").arg(i), QStringLiteral("PWR")});
    return list;
}

QImage shownImage(const QPushButton *button)
{
    return button->icon().pixmap(QSize(71, 51)).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage imageFile(const QString &fileName)
{
    return QImage(imageFolder + fileName).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class tst_controller : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void startsDisabledWithImagesOnly();
    void keylessCornersAreHidden();
    void titlesAndFlags();
    void unusableDescriptionOffersNoController_data();
    void unusableDescriptionOffersNoController();
    void listsOnlyParsedControllers_data();
    void listsOnlyParsedControllers();
    void choosesTheDefaultController();
    void unknownDefaultIdChoosesTheFirst();
    void keyUrlPrefix();
    void boxTextStaysOneValueOfTheKeyUrl_data();
    void boxTextStaysOneValueOfTheKeyUrl();
    void choosingAnotherControllerChangesKeysAndId();
    void loadingTwiceListsEachControllerOnce();
    void failedReloadKeepsTheList();
    void keyCHidesThePanel();
    void pressShowsPressedImageAndReleaseTheNormalOne_data();
    void pressShowsPressedImageAndReleaseTheNormalOne();
    void clickSendsTheKeyName();
    void everyButtonIsEnabledByItsKeyAndSendsIt();
    void draggingOffTheButtonSendsNothing();

private:
    bool load(const QString &xml);
    QPushButton *button(const QString &name) const;
    QStringList enabledKeys() const;
    QStringList listEntries() const;

    QTemporaryDir folder;
    TAVO_SERVER server;
    TAVO_ui_controller *panel = nullptr;
    TAVO_test_keyServer *box = nullptr;
};

void tst_controller::init()
{
    box = new TAVO_test_keyServer;
    QVERIFY(box->listen());
    server.host = QStringLiteral("127.0.0.1");
    server.tavoStreamer.rcuPort = QString::number(box->port());
    panel = new TAVO_ui_controller;
    panel->setCurrentServer(&server);
}

void tst_controller::cleanup()
{
    delete panel;
    delete box;
}

bool tst_controller::load(const QString &xml)
{
    QString path = folder.filePath(QStringLiteral("remote.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(xml.toUtf8());
    file.close();
    return panel->setXmlPath(&path);
}

QPushButton *tst_controller::button(const QString &name) const
{
    return panel->findChild<QPushButton *>(name);
}

QStringList tst_controller::enabledKeys() const
{
    QStringList keys;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (button(slot.objectName())->isEnabled())
            keys << QLatin1String(slot.keyName);
    }
    return keys;
}

QStringList tst_controller::listEntries() const
{
    auto *list = panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"));
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

void tst_controller::startsDisabledWithImagesOnly()
{
    QVERIFY(panel->isHidden());
    QVERIFY(panel->strUrl.isEmpty());
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        QPushButton *key = button(slot.objectName());
        QVERIFY(!key->isEnabled());
        if (!slot.hasKey())
            continue;
        QVERIFY(key->text().isEmpty());
        QVERIFY(key->toolTip().startsWith(QString::fromUtf8(slot.caption)));
        QCOMPARE(key->accessibleName(), QString::fromUtf8(slot.caption));
        QCOMPARE(key->iconSize(), QSize(71, 51));
        QCOMPARE(shownImage(key), imageFile(QLatin1String(slot.startImage) + "_over.png"));
    }
}

void tst_controller::keylessCornersAreHidden()
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots)
        QCOMPARE(button(slot.objectName())->isHidden(), !slot.hasKey());
}

void tst_controller::titlesAndFlags()
{
    QCOMPARE(panel->windowTitle(), QStringLiteral("Controller"));
    QCOMPARE(panel->windowOpacity(), 1.0);
    QCOMPARE(panel->windowFlags() & (Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
             Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    QVERIFY(panel->isWindow());
    auto *tabs = panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->tabText(0), QString(19, ' ') + "Page1" + QString(19, ' '));
    QCOMPARE(tabs->tabText(1), QString(19, ' ') + "Page2" + QString(18, ' '));
    // Both titles stand whole inside the bar, side by side: no eliding, no scroll arrows.
    QTabBar *bar = tabs->tabBar();
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    for (int tab = 0; tab < tabs->count(); ++tab) {
        const QRect title = bar->tabRect(tab);
        QVERIFY2(bar->rect().contains(title), qPrintable(QString::number(tab)));
        QVERIFY(title.width() >= bar->fontMetrics().horizontalAdvance(tabs->tabText(tab)));
    }
    QCOMPARE(bar->elideMode(), Qt::ElideNone);
    panel->hide();
}

void tst_controller::unusableDescriptionOffersNoController_data()
{
    QTest::addColumn<QString>("totalAmount");
    QTest::newRow("zero") << "0";
    QTest::newRow("not a number") << "three";
    QTest::newRow("empty") << "";
    QTest::newRow("negative") << "-2";
}

void tst_controller::unusableDescriptionOffersNoController()
{
    QFETCH(QString, totalAmount);
    QTest::ignoreMessage(QtDebugMsg, "No Controller can be used");
    QVERIFY(!load(descriptionXml(totalAmount, "tv", threeControllers)));
    QVERIFY(panel->isHidden());
    QVERIFY(listEntries().isEmpty());
    QVERIFY(enabledKeys().isEmpty());
    QVERIFY(panel->strUrl.isEmpty());
}

void tst_controller::listsOnlyParsedControllers_data()
{
    QTest::addColumn<QString>("totalAmount");
    QTest::addColumn<int>("inDocument");
    QTest::addColumn<int>("listed");
    QTest::newRow("as many as defined") << "3" << 3 << 3;
    QTest::newRow("fewer than defined") << "2" << 3 << 2;
    QTest::newRow("more than defined") << "5" << 3 << 3;
    QTest::newRow("more than ten") << "12" << 12 << 10;
}

void tst_controller::listsOnlyParsedControllers()
{
    QFETCH(QString, totalAmount);
    QFETCH(int, inDocument);
    QFETCH(int, listed);
    QVERIFY(load(descriptionXml(totalAmount, "1", controllersNumbered(inDocument))));
    QStringList expected;
    for (int i = 1; i <= listed; ++i)
        expected << QStringLiteral("Remote %1").arg(i);
    QCOMPARE(listEntries(), expected);
}

void tst_controller::choosesTheDefaultController()
{
    QVERIFY(load(descriptionXml("3", "dvd", threeControllers)));
    QCOMPARE(listEntries(), (QStringList{"Television", "DVD Player", "Amplifier"}));
    QCOMPARE(panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"))->currentIndex(), 1);
    QCOMPARE(enabledKeys(), (QStringList{"EJECT", "PLAY", "STOP", "STOP_REC", "REC"}));
    QVERIFY(panel->strUrl.endsWith(QStringLiteral("&id=dvd&key=")));
}

void tst_controller::unknownDefaultIdChoosesTheFirst()
{
    QVERIFY(load(descriptionXml("3", "nothing", threeControllers)));
    QCOMPARE(panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"))->currentIndex(), 0);
    QCOMPARE(enabledKeys(), (QStringList{"PWR", "MENU", "UP", "VOL_UP"}));
    QVERIFY(panel->strUrl.endsWith(QStringLiteral("&id=tv&key=")));
}

// A reload whose document defines fewer controllers must not offer the earlier ones: their
// entries are still in the record, but belong to the earlier document.
void tst_controller::keyUrlPrefix()
{
    QVERIFY(load(descriptionXml("3", "amp", threeControllers, "2.1")));
    QCOMPARE(panel->strUrl, QStringLiteral("http://127.0.0.1:%1/?src=1&ver=2.1&id=amp&key=").arg(box->port()));
    QVERIFY(load(descriptionXml("3", "x", {{"x", "Only", "OK"}}, "2.2")));
    QCOMPARE(listEntries(), QStringList{"Only"});
    QCOMPARE(panel->strUrl, QStringLiteral("http://127.0.0.1:%1/?src=1&ver=2.2&id=x&key=").arg(box->port()));
}

void tst_controller::boxTextStaysOneValueOfTheKeyUrl_data()
{
    QTest::addColumn<QString>("version");  // as the description's XML writes them
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("rcuPort");  // empty: the stand-in box's
    QTest::addColumn<QString>("query");    // of the MENU command; empty: no command at all
    QTest::newRow("ordinary text, as always") << "2.1" << "amp" << "" << "src=1&ver=2.1&id=amp&key=MENU";
    QTest::newRow("& in the version") << "1&amp;key=PWR" << "amp" << "" << "src=1&ver=1%26key%3DPWR&id=amp&key=MENU";
    QTest::newRow("blanks and # in the id") << "2.1" << "my tv#1" << "" << "src=1&ver=2.1&id=my%20tv%231&key=MENU";
    QTest::newRow("port with a path") << "2.1" << "amp" << "80/x?y=" << "";
}

// Whatever a box writes in its version or id, a command names one key of one controller.
void tst_controller::boxTextStaysOneValueOfTheKeyUrl()
{
    QFETCH(QString, version);
    QFETCH(QString, id);
    QFETCH(QString, rcuPort);
    QFETCH(QString, query);
    if (!rcuPort.isEmpty())
        server.tavoStreamer.rcuPort = rcuPort;
    QVERIFY(load(descriptionXml("1", id, {{id, "TV", "MENU"}}, version)));
    QCOMPARE(panel->steers(&server), !query.isEmpty());
    if (query.isEmpty())
        return;
    QTest::mouseClick(button("btn_1_1_2"), Qt::LeftButton);
    QVERIFY(box->waitForRequests(1));
    QCOMPARE(box->requestLines(), QStringList{QStringLiteral("GET http://127.0.0.1:%1/?%2 HTTP/1.1").arg(box->port()).arg(query)});
}

void tst_controller::choosingAnotherControllerChangesKeysAndId()
{
    QVERIFY(load(descriptionXml("3", "tv", threeControllers, "3.0")));
    panel->findChild<QComboBox *>(QStringLiteral("ctrlSelect"))->setCurrentIndex(2);
    QCOMPARE(enabledKeys(), (QStringList{"MUTE", "VOL_DN"}));
    QCOMPARE(panel->strUrl, QStringLiteral("http://127.0.0.1:%1/?src=1&ver=3.0&id=amp&key=").arg(box->port()));
}

void tst_controller::loadingTwiceListsEachControllerOnce()
{
    QVERIFY(load(descriptionXml("3", "tv", threeControllers)));
    QVERIFY(load(descriptionXml("3", "tv", threeControllers)));
    QCOMPARE(listEntries(), (QStringList{"Television", "DVD Player", "Amplifier"}));
}

void tst_controller::failedReloadKeepsTheList()
{
    QVERIFY(load(descriptionXml("3", "dvd", threeControllers)));
    const QString before = panel->strUrl;
    QTest::ignoreMessage(QtDebugMsg, "No Controller can be used");
    QVERIFY(!load(QStringLiteral("<RCU version=\"9\"><totalAmount>")));
    QCOMPARE(listEntries(), (QStringList{"Television", "DVD Player", "Amplifier"}));
    QCOMPARE(panel->strUrl, before);
    QCOMPARE(enabledKeys(), (QStringList{"EJECT", "PLAY", "STOP", "STOP_REC", "REC"}));
}

void tst_controller::keyCHidesThePanel()
{
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QTest::keyClick(panel, Qt::Key_X);
    QVERIFY(panel->isVisible());
    QTest::keyClick(panel, Qt::Key_C, Qt::ShiftModifier);
    QVERIFY(panel->isHidden());
}

void tst_controller::pressShowsPressedImageAndReleaseTheNormalOne_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("released");
    QTest::newRow("power") << "btn_1_1_1" << "Power_press.png" << "Power_over.png";
    QTest::newRow("sleep") << "btn_1_9_4" << "Sleep_press.png" << "Sleep_over.png";
    QTest::newRow("help") << "btn_2_7_3" << "Help_press.png" << "HELP_over.png";
    QTest::newRow("aspect ratio") << "btn_1_11_4" << "1A.Ratio_press.png" << "1A.Ratio_over.png";
}

void tst_controller::pressShowsPressedImageAndReleaseTheNormalOne()
{
    QFETCH(QString, slot);
    QFETCH(QString, pressed);
    QFETCH(QString, released);
    QVERIFY(load(descriptionXml("1", "1", {{"1", "All", "PWR SLEEP HELP AR"}})));
    QPushButton *key = button(slot);
    QTest::mousePress(key, Qt::LeftButton);
    QCOMPARE(shownImage(key), imageFile(pressed));
    QTest::mouseRelease(key, Qt::LeftButton);
    QCOMPARE(shownImage(key), imageFile(released));
}

void tst_controller::clickSendsTheKeyName()
{
    QVERIFY(load(descriptionXml("1", "7", {{"7", "TV", "DISP,PWR"}}, "1.5")));
    panel->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    QTest::mouseClick(button("btn_2_2_4"), Qt::LeftButton);
    QVERIFY(box->waitForRequests(1));
    QCOMPARE(box->requestLines(),
             QStringList{QStringLiteral("GET http://127.0.0.1:%1/?src=1&ver=1.5&id=7&key=DISP HTTP/1.1").arg(box->port())});
}

// Each button answers to its own key: a description that names only that key enables it, and
// a click sends that key's name, through the panel's form and handlers.
void tst_controller::everyButtonIsEnabledByItsKeyAndSendsIt()
{
    int sent = 0;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (!slot.hasKey())
            continue;
        const QString key = QLatin1String(slot.keyName);
        QVERIFY(load(descriptionXml("1", "1", {{"1", "TV", key}})));
        // A key whose name is inside another's ("UP" in "VOL_UP") is named along with it.
        for (const QString &enabled : enabledKeys())
            QVERIFY2(key.contains(enabled), qPrintable(key + " enables " + enabled));
        QPushButton *own = button(slot.objectName());
        QVERIFY2(own->isEnabled(), slot.keyName);
        own->click();
        QVERIFY(box->waitForRequests(++sent));
        QVERIFY2(box->requestLines().last().endsWith(QStringLiteral("&key=%1 HTTP/1.1").arg(key)),
                 qPrintable(box->requestLines().last()));
    }
    QCOMPARE(sent, 84);
}

void tst_controller::draggingOffTheButtonSendsNothing()
{
    QVERIFY(load(descriptionXml("1", "1", {{"1", "TV", "MENU,PWR"}})));
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel));
    QPushButton *menu = button("btn_1_1_2");
    QTest::mousePress(menu, Qt::LeftButton);
    QCOMPARE(shownImage(menu), imageFile("Menu_press.png"));
    const QPoint outside(menu->width() + 40, menu->height() / 2);
    QMouseEvent drag(QEvent::MouseMove, outside, menu->mapToGlobal(outside), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(menu, &drag);
    QCOMPARE(shownImage(menu), imageFile("Menu_over.png"));
    QTest::mouseRelease(menu, Qt::LeftButton, Qt::NoModifier, outside);
    // PWR goes out after anything the drag had sent.
    QTest::mouseClick(button("btn_1_1_1"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return box->keys().contains(QStringLiteral("PWR")); }, 5000));
    QCOMPARE(box->keys(), QStringList{"PWR"});
}

QTEST_MAIN(tst_controller)
#include "tst_controller.moc"

// The key slot table against the key flags, the panel's form and the image folder.

#include "TAVO_ui_controller.h"
#include "TAVO_ui_keySlots.h"

#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QtTest>

namespace {

const QString imageFolder = QStringLiteral(TAVO_BIN_DIR "/image/");

const TAVO_ui_keySlot *slotNamed(const QString &objectName)
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.objectName() == objectName)
            return &slot;
    }
    return nullptr;
}

QStringList imageFilesOf(const TAVO_ui_keySlot &slot)
{
    const QString image = QLatin1String(slot.image);
    return {QLatin1String(slot.startImage) + QLatin1String("_over.png"), image + QLatin1String("_over.png"),
            image + QLatin1String("_press.png")};
}

} // namespace

class tst_keySlots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyNamesAreExactlyTheFlags();
    void slotsFillBothPagesInPanelOrder();
    void keylessSlotsAreTheFourCorners();
    void autoRepeatKeys();
    void slotsFromTheTable_data();
    void slotsFromTheTable();
    void everyImageExistsAtKeySize();
    void pressedImageDiffersFromNormal();
    void helpImageIsOneFileUnderBothNames();
    void formGeometry();

private:
    TAVO_ui_controller panel;
};

void tst_keySlots::keyNamesAreExactlyTheFlags()
{
    QStringList slotKeys;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.hasKey())
            slotKeys << QLatin1String(slot.keyName);
    }
    QStringList flags;
    for (const TAVO_KEY_FLAG &key : tavoKeyFlags)
        flags << QLatin1String(key.name);
    QCOMPARE(slotKeys.size(), 84);
    QCOMPARE(QSet<QString>(slotKeys.begin(), slotKeys.end()).size(), 84);
    slotKeys.sort();
    flags.sort();
    QCOMPARE(slotKeys, flags);
}

void tst_keySlots::slotsFillBothPagesInPanelOrder()
{
    QCOMPARE(tavoKeySlotCount, 88);
    int index = 0;
    for (int page = 1; page <= 2; ++page) {
        for (int row = 1; row <= 11; ++row) {
            for (int column = 1; column <= 4; ++column, ++index) {
                QCOMPARE(tavoKeySlots[index].page, page);
                QCOMPARE(tavoKeySlots[index].row, row);
                QCOMPARE(tavoKeySlots[index].column, column);
            }
        }
    }
}

void tst_keySlots::keylessSlotsAreTheFourCorners()
{
    QStringList keyless;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (!slot.hasKey()) {
            keyless << slot.objectName();
            QVERIFY(!slot.caption && !slot.image && !slot.startImage && !slot.flag && !slot.autoRepeat);
        }
    }
    QCOMPARE(keyless, (QStringList{"btn_1_2_1", "btn_1_2_3", "btn_1_4_1", "btn_1_4_3"}));
}

void tst_keySlots::autoRepeatKeys()
{
    QStringList repeating;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.autoRepeat)
            repeating << QLatin1String(slot.keyName);
        auto *button = panel.findChild<QPushButton *>(slot.objectName());
        QVERIFY(button);
        QCOMPARE(button->autoRepeat(), slot.autoRepeat);
    }
    QCOMPARE(repeating, (QStringList{"UP", "VOL_UP", "LEFT", "RIGHT", "VOL_DN", "DOWN", "CH_UP", "CH_DN"}));
}

void tst_keySlots::slotsFromTheTable_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("startImage");
    QTest::addColumn<QString>("image");
    QTest::newRow("power") << "btn_1_1_1" << "Power" << "PWR" << "Power" << "Power";
    QTest::newRow("standby") << "btn_2_1_1" << "Standby" << "STANDBY" << "Standby" << "Standby";
    QTest::newRow("vol up") << "btn_1_2_4" << "Vol Up" << "VOL_UP" << "V+" << "V+";
    QTest::newRow("display") << "btn_2_2_4" << "Display" << "DISP" << "DISP" << "DISP";
    QTest::newRow("previous") << "btn_2_4_1" << "Previous" << "PREV" << "Prev" << "Prev";
    QTest::newRow("time shift") << "btn_2_3_4" << "Time Shift" << "TIME_SHIFT" << "Time Shift" << "Time Shift";
    QTest::newRow("repeat") << "btn_2_6_1" << "Repeat 1/All" << "REP_1ALL" << "Repeat All" << "Repeat All";
    QTest::newRow("define") << "btn_2_10_3" << "Define 1" << "UD_1" << "Define1" << "Define1";
    QTest::newRow("component") << "btn_2_10_1" << "YPBPR1" << "YPBPR_1" << "Component1" << "Component1";
    QTest::newRow("ten") << "btn_1_11_3" << "10 / 100" << "NUM_10_100" << "10-100" << "10-100";
    QTest::newRow("aspect ratio") << "btn_1_11_4" << "AR" << "AR" << "A.Ratio" << "1A.Ratio";
    QTest::newRow("help") << "btn_2_7_3" << "Help" << "HELP" << "HELP" << "Help";
}

void tst_keySlots::slotsFromTheTable()
{
    QFETCH(QString, slot);
    QFETCH(QString, caption);
    QFETCH(QString, key);
    QFETCH(QString, startImage);
    QFETCH(QString, image);
    const TAVO_ui_keySlot *entry = slotNamed(slot);
    QVERIFY(entry);
    QCOMPARE(QString::fromUtf8(entry->caption), caption);
    QCOMPARE(QLatin1String(entry->keyName), key);
    QCOMPARE(QLatin1String(entry->startImage), startImage);
    QCOMPARE(QLatin1String(entry->image), image);
}

void tst_keySlots::everyImageExistsAtKeySize()
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (!slot.hasKey())
            continue;
        for (const QString &file : imageFilesOf(slot)) {
            const QImage image(imageFolder + file);
            QVERIFY2(!image.isNull(), qPrintable(file));
            QCOMPARE(image.size(), QSize(71, 51));
        }
    }
}

void tst_keySlots::pressedImageDiffersFromNormal()
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (!slot.hasKey())
            continue;
        const QString image = imageFolder + QLatin1String(slot.image);
        QVERIFY2(QImage(image + "_over.png") != QImage(image + "_press.png"), slot.image);
    }
}

void tst_keySlots::helpImageIsOneFileUnderBothNames()
{
    const QFileInfo upper(imageFolder + "HELP_over.png");
    const QFileInfo mixed(imageFolder + "Help_over.png");
    QVERIFY(upper.exists() && mixed.exists());
    QCOMPARE(upper.canonicalFilePath(), mixed.canonicalFilePath());
}

void tst_keySlots::formGeometry()
{
    // The panel is at least the form's 350 wide; it grows with the tab titles' font.
    QVERIFY(panel.width() >= 350);
    QCOMPARE(panel.height(), 741);
    const int grown = panel.width() - 350;
    auto *selector = panel.findChild<QComboBox *>(QStringLiteral("ctrlSelect"));
    auto *tabs = panel.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QVERIFY(selector && tabs);
    QCOMPARE(selector->geometry(), QRect(10, 10, 331 + grown, 22));
    QCOMPARE(tabs->geometry(), QRect(10, 40, 331 + grown, 691));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->currentIndex(), 0);
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        auto *button = panel.findChild<QPushButton *>(slot.objectName());
        QVERIFY(button);
        QCOMPARE(button->parentWidget(), tabs->widget(slot.page - 1));
        QCOMPARE(button->geometry(), QRect(10 + 80 * (slot.column - 1), 10 + 60 * (slot.row - 1), 71, 51));
    }
}

QTEST_MAIN(tst_keySlots)
#include "tst_keySlots.moc"

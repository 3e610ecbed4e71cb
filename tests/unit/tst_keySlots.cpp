// The key slot table against the key flags, the panel's form and the image folder.

#include "TAVO_test_desktop.h"
#include "TAVO_test_windowParts.h"
#include "TAVO_ui_controller.h"
#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_keySlots.h"
#include "TAVO_ui_windowKeys.h"

#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
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
    void keyboardPressesTheRemote_data();
    void keyboardPressesTheRemote();
    void noKeyboardKeyPressesTwoButtons();
    void toolTipsNameTheKeyboardKeys_data();
    void toolTipsNameTheKeyboardKeys();
    void windowKeysAreNoBoxKeys();
    void windowKeysWorkWhereAndWhenTheTableSays_data();
    void windowKeysWorkWhereAndWhenTheTableSays();
    void readmeListsTheKeys_data();
    void readmeListsTheKeys();
    void manPageListsTheKeys();

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

void tst_keySlots::keyboardPressesTheRemote_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("remoteKey");
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    QTest::newRow("Up") << int(Qt::Key_Up) << none << "UP";
    QTest::newRow("Return") << int(Qt::Key_Return) << none << "OK";
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << "OK";
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << none << "RETURN";
    QTest::newRow("7") << int(Qt::Key_7) << none << "NUM_7";
    QTest::newRow("keypad 0") << int(Qt::Key_0) << Qt::KeyboardModifiers(Qt::KeypadModifier) << "NUM_0";
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << none << "CH_UP";
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << "CH_DN";
    QTest::newRow("+ typed with Shift") << int(Qt::Key_Plus) << Qt::KeyboardModifiers(Qt::ShiftModifier) << "VOL_UP";
    QTest::newRow("keypad -") << int(Qt::Key_Minus) << Qt::KeyboardModifiers(Qt::KeypadModifier) << "VOL_DN";
    QTest::newRow("F1") << int(Qt::Key_F1) << none << "RED";
    QTest::newRow("F4") << int(Qt::Key_F4) << none << "BLUE";
    QTest::newRow("End") << int(Qt::Key_End) << none << "EXIT";
    QTest::newRow("Ctrl+Shift+P") << int(Qt::Key_P) << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier)
                                  << "PWR";
    // Power never from a single key; F, C and Escape keep the window's meaning.
    QTest::newRow("P") << int(Qt::Key_P) << none << "";
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << Qt::KeyboardModifiers(Qt::ControlModifier) << "";
    QTest::newRow("F") << int(Qt::Key_F) << none << "";
    QTest::newRow("C") << int(Qt::Key_C) << none << "";
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << "";
    QTest::newRow("Ctrl+Up") << int(Qt::Key_Up) << Qt::KeyboardModifiers(Qt::ControlModifier) << "";
}

void tst_keySlots::keyboardPressesTheRemote()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, remoteKey);
    const QKeyEvent event(QEvent::KeyPress, key, modifiers);
    const int slotIndex = TAVO_ui_keyboardMap::slotFor(&event);
    QCOMPARE(slotIndex >= 0 ? QString::fromLatin1(tavoKeySlots[slotIndex].keyName) : QString(), remoteKey);
}

void tst_keySlots::noKeyboardKeyPressesTwoButtons()
{
    QSet<QKeyCombination> taken;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        const QString text = QLatin1String(slot.keyboard);
        if (text.isEmpty())
            continue;
        const QList<QKeySequence> keys = QKeySequence::listFromString(text, QKeySequence::PortableText);
        QCOMPARE(keys.size(), int(text.count(QLatin1String("; "))) + 1);
        for (const QKeySequence &key : keys) {
            QVERIFY2(key.count() == 1 && key[0].key() != Qt::Key_unknown, slot.keyboard);
            QVERIFY2(!taken.contains(key[0]), slot.keyboard);
            taken.insert(key[0]);
        }
    }
}

void tst_keySlots::toolTipsNameTheKeyboardKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("OK") << "OK" << "OK (Return or Enter)";
    QTest::newRow("Power") << "PWR" << "Power (Ctrl+Shift+P)";
    QTest::newRow("Ch Up") << "CH_UP" << "Ch Up (PgUp)";
    QTest::newRow("Vol DN") << "VOL_DN" << "Vol DN (-)";
    QTest::newRow("no key") << "INPUT" << "Input";
}

void tst_keySlots::toolTipsNameTheKeyboardKeys()
{
    QFETCH(QString, key);
    QFETCH(QString, toolTip);
    QCOMPARE(TAVO_test_windowParts::keyButton(&panel, key.toLatin1().constData())->toolTip(), toolTip);
}

// Where the remote listens (the picture, full screen, the panel), a key is the box's or the
// window's, never both, and the window's take the box's keys with Shift neither.
void tst_keySlots::windowKeysAreNoBoxKeys()
{
    using namespace TAVO_ui_windowKeys;
    const unsigned remotePlaces = InMainWindow | InFullScreen | InPanel;
    for (const Row &row : rows) {
        for (const QKeySequence &key : sequences(row.key)) {
            for (const Qt::KeyboardModifiers shift : {Qt::NoModifier, Qt::ShiftModifier}) {
                const QKeyEvent event(QEvent::KeyPress, key[0].key(), key[0].keyboardModifiers() | shift);
                QVERIFY2(!(row.places & remotePlaces) || TAVO_ui_keyboardMap::slotFor(&event) < 0, row.keys);
            }
        }
    }
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (*slot.keyboard == '\0')
            continue;
        for (const QKeySequence &key : QKeySequence::listFromString(QLatin1String(slot.keyboard))) {
            const QKeyEvent event(QEvent::KeyPress, key[0].key(), key[0].keyboardModifiers());
            QVERIFY2(!pressed(&event, remotePlaces, false) && !pressed(&event, remotePlaces, true), slot.keyboard);
        }
    }
}

void tst_keySlots::windowKeysWorkWhereAndWhenTheTableSays_data()
{
    using namespace TAVO_ui_windowKeys;
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<unsigned>("places");
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<QString>("action");
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const unsigned boxList = InMainWindow | InBoxList;
    QTest::newRow("F") << int(Qt::Key_F) << none << unsigned(InMainWindow) << false << "Full screen";
    QTest::newRow("F in full screen") << int(Qt::Key_F) << none << unsigned(InFullScreen) << true << "Leave full screen";
    QTest::newRow("Shift+F in full screen") << int(Qt::Key_F) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                            << unsigned(InFullScreen) << true << "Leave full screen";
    QTest::newRow("Esc") << int(Qt::Key_Escape) << none << unsigned(InMainWindow) << false << "";
    QTest::newRow("Esc in the panel over full screen") << int(Qt::Key_Escape) << none << unsigned(InPanel) << true
                                                       << "Leave full screen";
    QTest::newRow("C in the panel: its own") << int(Qt::Key_C) << none << unsigned(InPanel) << false << "";
    QTest::newRow("? typed with Shift") << int(Qt::Key_Question) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                        << unsigned(InPanel) << false << "Keyboard";
    QTest::newRow("? in full screen") << int(Qt::Key_Question) << none << unsigned(InFullScreen) << true << "";
    QTest::newRow("Return on the box list") << int(Qt::Key_Return) << none << boxList << false << "Play";
    QTest::newRow("Enter on the picture: the box's OK") << int(Qt::Key_Enter) << none << unsigned(InMainWindow)
                                                         << false << "";
    QTest::newRow("Ctrl+M: the box's Mute") << int(Qt::Key_M) << Qt::KeyboardModifiers(Qt::ControlModifier)
                                            << unsigned(InFullScreen) << true << "";
    QTest::newRow("Ctrl+S on the box list") << int(Qt::Key_S) << Qt::KeyboardModifiers(Qt::ControlModifier) << boxList
                                            << false << "Save picture";
}

void tst_keySlots::windowKeysWorkWhereAndWhenTheTableSays()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(unsigned, places);
    QFETCH(bool, fullScreen);
    QFETCH(QString, action);
    const QKeyEvent event(QEvent::KeyPress, key, modifiers);
    const auto pressed = TAVO_ui_windowKeys::pressed(&event, places, fullScreen);
    QCOMPARE(pressed ? QString::fromLatin1(TAVO_ui_windowKeys::row(*pressed).menuText) : QString(), action);
}

// The README's "Keys" section lists exactly the map, in the panel's order, and the window's
// keys, in their table's order.
void tst_keySlots::readmeListsTheKeys_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("rows");
    const auto tableRows = [](const QList<QPair<QString, QString>> &help) {
        QStringList rows;
        for (const auto &[keys, meaning] : help)
            rows << QStringLiteral("| %1 | %2 |").arg(keys, meaning);
        return rows;
    };
    // The remote's keys are many and short: two to a row, so the README stays short too.
    const auto pairedRows = [](const QList<QPair<QString, QString>> &help) {
        QStringList rows;
        for (qsizetype i = 0; i < help.size(); i += 2) {
            const QString second = i + 1 < help.size()
                                       ? QStringLiteral(" %1 | %2 |").arg(help[i + 1].first, help[i + 1].second)
                                       : QStringLiteral("  |  |");
            rows << QStringLiteral("| %1 | %2 |").arg(help[i].first, help[i].second) + second;
        }
        return rows;
    };
    QTest::newRow("remote") << "| Keyboard | Remote key | Keyboard | Remote key |"
                            << pairedRows(TAVO_ui_keyboardMap::helpRows());
    QTest::newRow("window") << "| Keyboard | In the window |" << tableRows(TAVO_ui_windowKeys::helpRows());
}

void tst_keySlots::readmeListsTheKeys()
{
    QFETCH(QString, header);
    QFETCH(QStringList, rows);
    QFile readme(QStringLiteral(TAVO_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype section = text.indexOf(QLatin1String("\n## Keys\n"));
    QVERIFY(section >= 0);
    const qsizetype tableStart = text.indexOf(header, section);
    QVERIFY(tableStart >= 0);
    const QStringList listed = text.mid(tableStart).section(QLatin1String("\n\n"), 0, 0).split(QLatin1Char('\n'));
    QCOMPARE(listed.mid(2), rows);
}

// The manual page as man shows it: every key of both tables with what it does.
void tst_keySlots::manPageListsTheKeys()
{
    const QString page = TAVO_test_desktop::run(QStringLiteral("groff"),
                                                {"-man", "-Tascii", "-P-cbu", "-rLL=300n", "-rHY=0",
                                                 QStringLiteral(TAVO_BIN_DIR "/../packaging/TAVO_Client.1")})
                             .simplified();
    QVERIFY(page.contains(QLatin1String("KEYS")));
    for (const auto &[keys, meaning] : TAVO_ui_keyboardMap::helpRows() + TAVO_ui_windowKeys::helpRows())
        QVERIFY2(page.contains(keys + QLatin1Char(' ') + meaning), qPrintable(keys));
}

QTEST_MAIN(tst_keySlots)
#include "tst_keySlots.moc"

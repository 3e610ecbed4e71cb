#include "TAVO_ui_controller.h"
#include "ui_TAVO_ui_controller.h"

#include "TAVO_mgr_httpRequest.h"
#include "TAVO_mgr_keyCommand.h"
#include "TAVO_mgr_rcuDescription.h"
#include "TAVO_ui_images.h"
#include "TAVO_ui_keyboardMap.h"
#include "TAVO_ui_keySlots.h"
#include "TAVO_xml_xmlParser.h"

#include <QCoreApplication>
#include <QDebug>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QUrl>

namespace {

const char normalImage[] = "_over.png";
const char pressedImage[] = "_press.png";

QString tabTitle(const char *name, int trailingSpaces)
{
    return QString(19, QLatin1Char(' ')) + QLatin1String(name) + QString(trailingSpaces, QLatin1Char(' '));
}

} // namespace

TAVO_ui_controller::TAVO_ui_controller(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::TAVO_ui_controller)
{
    ui->setupUi(this);
    httpRequest = new TAVO_mgr_httpRequest(this);
    url = new QUrl;
    initUI();
    for (int slotIndex = 0; slotIndex < tavoKeySlotCount; ++slotIndex)
        connectButton(slotIndex);
}

TAVO_ui_controller::~TAVO_ui_controller()
{
    delete url;
    delete ui;
}

void TAVO_ui_controller::initUI()
{
    setWindowTitle(QStringLiteral("Controller"));
    setWindowOpacity(1.0);
    setWindowFlags(Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint);
    slotButtons.clear();
    for (int slotIndex = 0; slotIndex < tavoKeySlotCount; ++slotIndex)
        initButton(slotIndex);
    ui->tabWidget->setTabText(0, tabTitle("Page1", 19));
    ui->tabWidget->setTabText(1, tabTitle("Page2", 18));
    ui->tabWidget->setUsesScrollButtons(false);
    ui->tabWidget->setElideMode(Qt::ElideNone);
    fitTabTitles();
}

// The padded titles are wider than the key grid in most fonts: the panel grows until both
// stand whole side by side, rather than hiding one behind scroll arrows or cutting them short.
void TAVO_ui_controller::fitTabTitles()
{
    QTabBar *bar = ui->tabWidget->tabBar();
    const int missing = bar->sizeHint().width() - ui->tabWidget->contentsRect().width();
    if (missing <= 0)
        return;
    ui->tabWidget->resize(ui->tabWidget->width() + missing, ui->tabWidget->height());
    ui->ctrlSelect->resize(ui->ctrlSelect->width() + missing, ui->ctrlSelect->height());
    resize(width() + missing, height());
}

void TAVO_ui_controller::initButton(int slotIndex)
{
    const TAVO_ui_keySlot &slot = tavoKeySlots[slotIndex];
    auto *button = findChild<QPushButton *>(slot.objectName());
    slotButtons.append(button);
    button->setEnabled(false);
    if (!slot.hasKey()) {
        button->hide();
        return;
    }
    showImage(slotIndex, slot.startImage, normalImage);
    button->setIconSize(QSize(TAVO_ui_keyGrid::buttonWidth, TAVO_ui_keyGrid::buttonHeight));
    button->setText(QString());
    // The face shows only the image; the caption still names the key for tips and screen readers,
    // and the tip adds the keyboard's keys that press it.
    button->setToolTip(TAVO_ui_keyboardMap::toolTip(slot));
    button->setAccessibleName(QCoreApplication::translate("TAVO_ui_controller", slot.caption));
}

void TAVO_ui_controller::connectButton(int slotIndex)
{
    const TAVO_ui_keySlot &slot = tavoKeySlots[slotIndex];
    if (!slot.hasKey())
        return;
    QPushButton *button = slotButtons.at(slotIndex);
    connect(button, &QPushButton::pressed, this, [this, slotIndex] {
        showImage(slotIndex, tavoKeySlots[slotIndex].image, pressedImage);
    });
    connect(button, &QPushButton::released, this, [this, slotIndex] {
        showImage(slotIndex, tavoKeySlots[slotIndex].image, normalImage);
    });
    connect(button, &QPushButton::clicked, this, [this, slotIndex] { sendKey(tavoKeySlots[slotIndex].keyName); });
}

void TAVO_ui_controller::showImage(int slotIndex, const char *image, const char *state)
{
    const QString file = QLatin1String(image) + QLatin1String(state);
    slotButtons.at(slotIndex)->setIcon(QIcon(TAVO_ui_images::path(file)));
}

void TAVO_ui_controller::sendKey(const char *keyName)
{
    // Before a description has been loaded there is no box to send to.
    if (strUrl.isEmpty() || (keyGate && !keyGate(keyName)))
        return;
    *url = TAVO_mgr_keyCommand::url(strUrl, QLatin1String(keyName));
    httpRequest->httpRequest(url);
}

void TAVO_ui_controller::setParentWidget(QWidget *parent)
{
    parentWidget = parent;
}

void TAVO_ui_controller::setCurrentServer(TAVO_SERVER *currentServer)
{
    server = currentServer;
}

bool TAVO_ui_controller::steers(const TAVO_SERVER *box) const
{
    return server == box && !strUrl.isEmpty();
}

bool TAVO_ui_controller::setXmlPath(QString *xmlPath)
{
    rcuPath = *xmlPath;
    TAVO_xml_xmlParser parser(parentWidget);
    const int count = TAVO_mgr_rcuDescription::usableControllers(keys, parser.parseRcuXml(&rcuPath, &keys));
    if (count == 0) {
        qDebug() << "No Controller can be used";
        return false;
    }
    listControllers(count);
    const int keyNum = TAVO_mgr_rcuDescription::defaultController(keys, listedControllers);
    updateUI(&keys, keyNum);
    ui->ctrlSelect->setCurrentIndex(keyNum);
    strUrl = keyUrlPrefix(keyNum);
    return true;
}

void TAVO_ui_controller::listControllers(int count)
{
    listedControllers = 0;
    ui->ctrlSelect->clear();
    listedControllers = count;
    for (int controller = 0; controller < count; ++controller)
        ui->ctrlSelect->addItem(keys.keys[controller].keyName);
}

QString TAVO_ui_controller::keyUrlPrefix(int controller) const
{
    if (!server)
        return QString();
    return TAVO_mgr_keyCommand::prefix(server->host, server->tavoStreamer.rcuPort, keys.version,
                                       keys.keys[controller].keyId);
}

void TAVO_ui_controller::updateUI(TAVO_KEYS *keys, int keyNum)
{
    if (keyNum < 0 || keyNum >= TAVO_KEYS::maxControllers)
        return;
    const TAVO_KEY &controller = keys->keys[keyNum];
    for (int slotIndex = 0; slotIndex < tavoKeySlotCount; ++slotIndex) {
        const TAVO_ui_keySlot &slot = tavoKeySlots[slotIndex];
        if (slot.hasKey())
            slotButtons.at(slotIndex)->setEnabled(controller.*slot.flag);
    }
}

void TAVO_ui_controller::on_ctrlSelect_currentIndexChanged(int index)
{
    qDebug() << index;
    // The list reports -1 while it is emptied; only listed controllers are backed by the record.
    if (index < 0 || index >= listedControllers)
        return;
    updateUI(&keys, index);
    strUrl = keyUrlPrefix(index);
}

void TAVO_ui_controller::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_C)
        hide();
}

#include "TAVO_ui_addBoxDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

TAVO_ui_addBoxDialog::TAVO_ui_addBoxDialog(TAVO_upnp_upnpControlPoint *discovery, Describe describe, QWidget *parent)
    : QDialog(parent)
    , discovery(discovery)
    , describe(std::move(describe))
    , addressEdit(new QLineEdit)
    , statusLabel(new QLabel)
{
    setWindowTitle(QStringLiteral("Add box by address"));
    auto *prompt = new QLabel(QStringLiteral("Host name or IP address, host:port, or the URL of the box's description:"));
    prompt->setBuddy(addressEdit);
    addressEdit->setObjectName(QStringLiteral("address"));
    addressEdit->setPlaceholderText(QStringLiteral("192.168.1.20 or http://192.168.1.20:49152/description.xml"));
    addressEdit->setMinimumWidth(420);
    // What the user typed and what a box answered are shown as they are, never as markup.
    statusLabel->setObjectName(QStringLiteral("status"));
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setWordWrap(true);
    // Room for the longest message, so the dialog keeps its size whatever it says.
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLabel->setMinimumHeight(statusLabel->fontMetrics().lineSpacing() * 4);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    addButton = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::ActionRole);
    connect(addButton, &QPushButton::clicked, this, &TAVO_ui_addBoxDialog::addBox);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(addressEdit);
    layout->addWidget(statusLabel);
    layout->addWidget(buttons);
    // Enter clicks the dialog's default button. A button becomes it only once it is inside the
    // dialog; otherwise the dialog picks the first one itself when shown, and that is Close.
    addButton->setDefault(true);
}

void TAVO_ui_addBoxDialog::addBox()
{
    const QString error = TAVO_upnp_boxFinder::addressError(addressEdit->text());
    if (!error.isEmpty()) {
        statusLabel->setText(error);
        return;
    }
    askedAddress = addressEdit->text().trimmed();
    statusLabel->setText(QStringLiteral("Asking %1 …").arg(askedAddress));
    setAsking(true);
    auto *finder = new TAVO_upnp_boxFinder(discovery, askedAddress, this);
    connect(finder, &TAVO_upnp_boxFinder::finished, this, &TAVO_ui_addBoxDialog::finderFinished);
    finder->start();
}

void TAVO_ui_addBoxDialog::finderFinished(TAVO_upnp_boxFinder::Result result, const QString &udn)
{
    setAsking(false);
    statusLabel->setText(describe(result, askedAddress));
    if (result != TAVO_upnp_boxFinder::Result::Added)
        return;
    Q_EMIT boxAdded(askedAddress, udn);
    accept();
}

void TAVO_ui_addBoxDialog::setAsking(bool asking)
{
    addressEdit->setEnabled(!asking);
    addButton->setEnabled(!asking);
    // The disabled field handed the focus on to Close, which would take the next Enter.
    if (!asking)
        addressEdit->setFocus();
}

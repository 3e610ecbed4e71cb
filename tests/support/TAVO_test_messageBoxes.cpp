#include "TAVO_test_messageBoxes.h"

#include "TAVO_test_windowParts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

TAVO_test_messageBoxes::TAVO_test_messageBoxes()
{
    connect(&poll, &QTimer::timeout, this, &TAVO_test_messageBoxes::closeOpenBox);
    poll.start(20);
}

void TAVO_test_messageBoxes::closeOpenBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || showing)
        return;
    seen.append({box->windowTitle(), box->text(), static_cast<int>(box->buttons().size()), box->parent(),
                 box->informativeText(), box->icon()});
    if (beforeClose) {
        showing = true;
        if (QTest::qWaitForWindowExposed(box) && TAVO_test_windowParts::waitUntilShown(box))
            beforeClose(box);
        showing = false;
    }
    if (QAbstractButton *answering = box->button(answer))
        answering->click();
    else if (QAbstractButton *ok = box->button(QMessageBox::Ok))
        ok->click();
    else
        box->reject();
}

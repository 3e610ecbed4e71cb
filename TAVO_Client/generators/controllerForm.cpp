// Writes the controller panel's form (a Qt Designer .ui file) from the key slot table, so the
// 88 buttons, their captions and their auto-repeat come from the same list as everything else.
// Usage: controllerForm <output .ui file>

#include "TAVO_ui_keySlots.h"

#include <QSaveFile>
#include <QRect>
#include <QXmlStreamWriter>

#include <cstdio>

namespace {

using namespace TAVO_ui_keyGrid;

const QRect panelGeometry(0, 0, 350, 741);
const QRect selectorGeometry(10, 10, 331, 22);
const QRect tabsGeometry(10, 40, 331, 691);

// The form declares the buttons of the first row of page 1 left to right and those of every
// other row in the order 2, 4, 3, 1; declaration order is creation order (and so tab order).
const int firstRowOrder[columns] = {1, 2, 3, 4};
const int otherRowOrder[columns] = {2, 4, 3, 1};

void writeRect(QXmlStreamWriter &xml, const QRect &rect)
{
    xml.writeStartElement(QStringLiteral("property"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("geometry"));
    xml.writeStartElement(QStringLiteral("rect"));
    xml.writeTextElement(QStringLiteral("x"), QString::number(rect.x()));
    xml.writeTextElement(QStringLiteral("y"), QString::number(rect.y()));
    xml.writeTextElement(QStringLiteral("width"), QString::number(rect.width()));
    xml.writeTextElement(QStringLiteral("height"), QString::number(rect.height()));
    xml.writeEndElement();
    xml.writeEndElement();
}

void writeValue(QXmlStreamWriter &xml, const QString &element, const QString &name,
                const QString &type, const QString &value)
{
    xml.writeStartElement(element);
    xml.writeAttribute(QStringLiteral("name"), name);
    xml.writeTextElement(type, value);
    xml.writeEndElement();
}

void startWidget(QXmlStreamWriter &xml, const QString &className, const QString &name)
{
    xml.writeStartElement(QStringLiteral("widget"));
    xml.writeAttribute(QStringLiteral("class"), className);
    xml.writeAttribute(QStringLiteral("name"), name);
}

const TAVO_ui_keySlot *findSlot(int page, int row, int column)
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.page == page && slot.row == row && slot.column == column)
            return &slot;
    }
    return nullptr;
}

void writeButton(QXmlStreamWriter &xml, const TAVO_ui_keySlot &slot)
{
    startWidget(xml, QStringLiteral("QPushButton"), slot.objectName());
    writeRect(xml, QRect(left + columnStep * (slot.column - 1), top + rowStep * (slot.row - 1),
                         buttonWidth, buttonHeight));
    if (slot.hasKey())
        writeValue(xml, QStringLiteral("property"), QStringLiteral("text"), QStringLiteral("string"),
                   QString::fromUtf8(slot.caption));
    if (slot.autoRepeat)
        writeValue(xml, QStringLiteral("property"), QStringLiteral("autoRepeat"), QStringLiteral("bool"),
                   QStringLiteral("true"));
    xml.writeEndElement();
}

bool writePage(QXmlStreamWriter &xml, int page)
{
    startWidget(xml, QStringLiteral("QWidget"), page == 1 ? QStringLiteral("tab") : QStringLiteral("tab_2"));
    writeValue(xml, QStringLiteral("attribute"), QStringLiteral("title"), QStringLiteral("string"),
               QStringLiteral("Page %1").arg(page));
    for (int row = 1; row <= rows; ++row) {
        const int *order = (page == 1 && row == 1) ? firstRowOrder : otherRowOrder;
        for (int i = 0; i < columns; ++i) {
            const TAVO_ui_keySlot *slot = findSlot(page, row, order[i]);
            if (!slot) {
                std::fprintf(stderr, "the key slot table has no slot %d/%d/%d\n", page, row, order[i]);
                return false;
            }
            writeButton(xml, *slot);
        }
    }
    xml.writeEndElement();
    return true;
}

bool writeForm(QXmlStreamWriter &xml)
{
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("ui"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("4.0"));
    xml.writeTextElement(QStringLiteral("class"), QStringLiteral("TAVO_ui_controller"));
    startWidget(xml, QStringLiteral("QWidget"), QStringLiteral("TAVO_ui_controller"));
    writeRect(xml, panelGeometry);
    writeValue(xml, QStringLiteral("property"), QStringLiteral("windowTitle"), QStringLiteral("string"),
               QStringLiteral("Form"));

    startWidget(xml, QStringLiteral("QTabWidget"), QStringLiteral("tabWidget"));
    writeRect(xml, tabsGeometry);
    writeValue(xml, QStringLiteral("property"), QStringLiteral("currentIndex"), QStringLiteral("number"),
               QStringLiteral("0"));
    for (int page = 1; page <= pages; ++page) {
        if (!writePage(xml, page))
            return false;
    }
    xml.writeEndElement();

    startWidget(xml, QStringLiteral("QComboBox"), QStringLiteral("ctrlSelect"));
    writeRect(xml, selectorGeometry);
    xml.writeEndElement();

    xml.writeEndElement();
    xml.writeEmptyElement(QStringLiteral("resources"));
    xml.writeEmptyElement(QStringLiteral("connections"));
    xml.writeEndElement();
    xml.writeEndDocument();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output .ui file>\n", argv[0]);
        return 2;
    }
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    if (!writeForm(xml) || xml.hasError())
        return 1;
    return file.commit() ? 0 : 1;
}

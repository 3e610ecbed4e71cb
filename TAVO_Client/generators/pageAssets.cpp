// Writes what the tuner's web page takes from the window's tables, so that its remote cannot
// drift from the panel's: the key slots (place, caption, key, auto-repeat, keyboard), the window
// keys the page also answers and the pause of typed digits, as a script; and the page's icons.
// Usage: pageAssets <output folder>

#include "TAVO_ui_channelEntry.h"
#include "TAVO_ui_keySlots.h"
#include "TAVO_ui_windowKeys.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>

#include <cstdio>

namespace {

using TAVO_ui_windowKeys::Key;

// The window keys that mean the same on the page: its channel list's keys and the key list.
const struct
{
    Key key;
    const char *action;
} pageWindowKeys[] = {
    {Key::NextChannel, "nextChannel"},
    {Key::PreviousChannel, "previousChannel"},
    {Key::ChannelBefore, "channelBefore"},
    {Key::KeyboardHelp, "keyboardHelp"},
};

QJsonArray slotsJson()
{
    QJsonArray all;
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        QJsonObject one{{QStringLiteral("page"), slot.page}, {QStringLiteral("row"), slot.row},
                        {QStringLiteral("column"), slot.column}};
        if (slot.hasKey()) {
            one.insert(QStringLiteral("caption"), QString::fromUtf8(slot.caption));
            one.insert(QStringLiteral("key"), QString::fromLatin1(slot.keyName));
            one.insert(QStringLiteral("autoRepeat"), slot.autoRepeat);
            one.insert(QStringLiteral("keyboard"), QString::fromLatin1(slot.keyboard));
        }
        all.append(one);
    }
    return all;
}

QJsonArray windowKeysJson()
{
    QJsonArray all;
    for (const auto &entry : pageWindowKeys) {
        const TAVO_ui_windowKeys::Row &row = TAVO_ui_windowKeys::rows[int(entry.key)];
        all.append(QJsonObject{{QStringLiteral("action"), QString::fromLatin1(entry.action)},
                               {QStringLiteral("keyboard"), QString::fromLatin1(row.keys)},
                               {QStringLiteral("help"), QString::fromUtf8(row.help)}});
    }
    return all;
}

bool save(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// A remote's outline with its round key and a screen's corner above: plain shapes, so that
// it reads at 48 pixels as at 512.
QImage icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(QColor(0x1d, 0x26, 0x33));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3d, 0x8b, 0xd9));
    painter.drawRoundedRect(QRectF(2 * unit, 2.5 * unit, 12 * unit, 7 * unit), unit, unit);
    painter.setBrush(QColor(0xe8, 0xec, 0xf1));
    painter.drawRoundedRect(QRectF(5.5 * unit, 7 * unit, 5 * unit, 8 * unit), 1.2 * unit, 1.2 * unit);
    painter.setBrush(QColor(0x1d, 0x26, 0x33));
    painter.drawEllipse(QPointF(8 * unit, 10 * unit), 1.3 * unit, 1.3 * unit);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pageAssets <output folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QJsonObject tables{{QStringLiteral("slots"), slotsJson()},
                             {QStringLiteral("windowKeys"), windowKeysJson()},
                             {QStringLiteral("digitPauseMs"), TAVO_ui_channelEntry::defaultPauseMs}};
    const QByteArray script = "// Written at build time from the window's key tables; not edited by hand.\n"
                              "const TAVO_TABLES = "
                              + QJsonDocument(tables).toJson(QJsonDocument::Compact) + ";\n";
    bool written = save(folder.filePath(QStringLiteral("tables.js")), script);
    for (const int size : {192, 512}) {
        QByteArray png;
        QBuffer buffer(&png);
        written = written && buffer.open(QIODevice::WriteOnly) && icon(size).save(&buffer, "PNG")
                  && save(folder.filePath(QStringLiteral("icon-%1.png").arg(size)), png);
    }
    if (!written) {
        std::fprintf(stderr, "pageAssets: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}

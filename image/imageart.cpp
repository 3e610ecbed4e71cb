// Draws the program's images into the folder given as the only argument: the application icon
// and, for every key of the controller panel's slot table, its normal and pressed image.

#include "TAVO_ui_keySlots.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// The application icon: a streamer box seen from the front, with its status lights and the
// waves of the stream it sends.
QImage drawStreamerIcon()
{
    constexpr int size = 128;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    QPen wavePen(QColor(0x2f, 0x8f, 0xe8), 7, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(wavePen);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 3; ++ring) {
        const int radius = 14 + ring * 15;
        painter.drawArc(QRectF(64 - radius, 54 - radius, 2 * radius, 2 * radius), 50 * 16, 80 * 16);
    }

    const QRectF body(10, 62, 108, 46);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, QColor(0x4a, 0x50, 0x5a));
    shade.setColorAt(1, QColor(0x1c, 0x1f, 0x24));
    painter.setPen(QPen(QColor(0x0f, 0x11, 0x14), 2));
    painter.setBrush(shade);
    painter.drawRoundedRect(body, 9, 9);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x0b, 0x0c, 0x0e));
    painter.drawRoundedRect(QRectF(22, 76, 52, 18), 4, 4);
    painter.setBrush(QColor(0x3d, 0xd6, 0x5c));
    painter.drawEllipse(QPointF(90, 85), 5, 5);
    painter.setBrush(QColor(0x2f, 0x8f, 0xe8));
    painter.drawEllipse(QPointF(105, 85), 5, 5);

    painter.setBrush(QColor(0x0f, 0x11, 0x14));
    painter.drawRect(QRectF(22, 108, 14, 6));
    painter.drawRect(QRectF(92, 108, 14, 6));
    return image;
}

// --- Key images ------------------------------------------------------------------------------

enum class Symbol {
    None, Power, ArrowUp, ArrowDown, ArrowLeft, ArrowRight, Plus, Minus, Play, Pause, Stop,
    FastForward, FastRewind, Previous, Next, Record, Eject, Mute, PauseRecord, StopRecord
};

// How a key looks; keys without an entry show their caption on a graphite key.
struct KeyFace
{
    const char *key;
    Symbol symbol;
    const char *label;  // beside or under the symbol; null for the caption, "" for none
    QRgb body;
    QRgb ink;
};

constexpr QRgb graphite = 0xff34383e;
constexpr QRgb white = 0xfff2f4f7;
constexpr QRgb powerRed = 0xffe53935;

const KeyFace keyFaces[] = {
    {"PWR", Symbol::Power, "", graphite, powerRed},
    {"STANDBY", Symbol::Power, "STBY", graphite, 0xffffa726},
    {"UP", Symbol::ArrowUp, "", graphite, white},
    {"DOWN", Symbol::ArrowDown, "", graphite, white},
    {"LEFT", Symbol::ArrowLeft, "", graphite, white},
    {"RIGHT", Symbol::ArrowRight, "", graphite, white},
    {"OK", Symbol::None, "OK", 0xff1e5aa8, white},
    {"VOL_UP", Symbol::Plus, "VOL", graphite, white},
    {"VOL_DN", Symbol::Minus, "VOL", graphite, white},
    {"CH_UP", Symbol::Plus, "CH", graphite, white},
    {"CH_DN", Symbol::Minus, "CH", graphite, white},
    {"MUTE", Symbol::Mute, "", graphite, white},
    {"RED", Symbol::None, "", 0xffd32f2f, white},
    {"GREEN", Symbol::None, "", 0xff2e9d45, white},
    {"YELLOW", Symbol::None, "", 0xfff2c318, white},
    {"BLUE", Symbol::None, "", 0xff1f63d6, white},
    {"PLAY", Symbol::Play, "", graphite, 0xff66d17a},
    {"PAUSE", Symbol::Pause, "", graphite, white},
    {"STOP", Symbol::Stop, "", graphite, white},
    {"FF", Symbol::FastForward, "", graphite, white},
    {"FR", Symbol::FastRewind, "", graphite, white},
    {"PREV", Symbol::Previous, "", graphite, white},
    {"NEXT", Symbol::Next, "", graphite, white},
    {"REC", Symbol::Record, "", graphite, powerRed},
    {"PAU_REC", Symbol::PauseRecord, "", graphite, white},
    {"STOP_REC", Symbol::StopRecord, "", graphite, white},
    {"EJECT", Symbol::Eject, "", graphite, white},
    {"NUM_10_100", Symbol::None, "10/100", graphite, white},
    {"AR", Symbol::None, "A.Ratio", graphite, white},
};

const KeyFace *faceOf(const char *key)
{
    for (const KeyFace &face : keyFaces) {
        if (std::strcmp(face.key, key) == 0)
            return &face;
    }
    return nullptr;
}

const QRectF keyBody(2.5, 2.5, 66, 44);
constexpr qreal keyRadius = 10;

void drawBody(QPainter &painter, const QColor &body, bool pressed)
{
    if (!pressed) {
        // A shadow under the raised key.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 110));
        painter.drawRoundedRect(keyBody.translated(0, 2.5), keyRadius, keyRadius);
    }
    const QColor face = pressed ? body.darker(135) : body;
    QLinearGradient shade(keyBody.topLeft(), keyBody.bottomLeft());
    shade.setColorAt(0, pressed ? face.darker(125) : face.lighter(145));
    shade.setColorAt(0.45, face);
    shade.setColorAt(1, pressed ? face.lighter(110) : face.darker(130));
    const QRectF rect = pressed ? keyBody.translated(0, 2) : keyBody;
    painter.setPen(QPen(QColor(0x10, 0x12, 0x15), 1.2));
    painter.setBrush(shade);
    painter.drawRoundedRect(rect, keyRadius, keyRadius);
    if (pressed) {
        // The inner shadow of a key pushed into the case.
        painter.setPen(QPen(QColor(0, 0, 0, 120), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(1.5, 1.5, -1.5, -1.5), keyRadius - 1, keyRadius - 1);
    }
}

QPolygonF triangle(QPointF tip, QPointF baseA, QPointF baseB)
{
    return QPolygonF({tip, baseA, baseB});
}

// Symbols are drawn in a 24 x 24 box centred at the origin.
void drawSymbol(QPainter &painter, Symbol symbol, const QColor &ink)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    QPen stroke(ink, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (symbol) {
    case Symbol::None:
        break;
    case Symbol::Power:
        painter.setPen(stroke);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(-10, -9, 20, 20), 120 * 16, 300 * 16);
        painter.drawLine(QPointF(0, -12), QPointF(0, 0));
        break;
    case Symbol::ArrowUp:
        painter.drawPolygon(triangle({0, -10}, {-12, 8}, {12, 8}));
        break;
    case Symbol::ArrowDown:
        painter.drawPolygon(triangle({0, 10}, {-12, -8}, {12, -8}));
        break;
    case Symbol::ArrowLeft:
        painter.drawPolygon(triangle({-11, 0}, {8, -11}, {8, 11}));
        break;
    case Symbol::ArrowRight:
        painter.drawPolygon(triangle({11, 0}, {-8, -11}, {-8, 11}));
        break;
    case Symbol::Plus:
        painter.drawRect(QRectF(-9, -2, 18, 4));
        painter.drawRect(QRectF(-2, -9, 4, 18));
        break;
    case Symbol::Minus:
        painter.drawRect(QRectF(-9, -2, 18, 4));
        break;
    case Symbol::Play:
        painter.drawPolygon(triangle({10, 0}, {-7, -10}, {-7, 10}));
        break;
    case Symbol::Pause:
        painter.drawRect(QRectF(-8, -9, 6, 18));
        painter.drawRect(QRectF(2, -9, 6, 18));
        break;
    case Symbol::Stop:
        painter.drawRect(QRectF(-8, -8, 16, 16));
        break;
    case Symbol::FastForward:
        painter.drawPolygon(triangle({0, 0}, {-12, -8}, {-12, 8}));
        painter.drawPolygon(triangle({12, 0}, {0, -8}, {0, 8}));
        break;
    case Symbol::FastRewind:
        painter.drawPolygon(triangle({0, 0}, {12, -8}, {12, 8}));
        painter.drawPolygon(triangle({-12, 0}, {0, -8}, {0, 8}));
        break;
    case Symbol::Previous:
        painter.drawRect(QRectF(-11, -8, 3, 16));
        painter.drawPolygon(triangle({-8, 0}, {3, -8}, {3, 8}));
        painter.drawPolygon(triangle({2, 0}, {12, -8}, {12, 8}));
        break;
    case Symbol::Next:
        painter.drawRect(QRectF(8, -8, 3, 16));
        painter.drawPolygon(triangle({8, 0}, {-3, -8}, {-3, 8}));
        painter.drawPolygon(triangle({-2, 0}, {-12, -8}, {-12, 8}));
        break;
    case Symbol::Record:
        painter.drawEllipse(QPointF(0, 0), 9, 9);
        break;
    case Symbol::Eject:
        painter.drawPolygon(triangle({0, -10}, {-11, 3}, {11, 3}));
        painter.drawRect(QRectF(-11, 6, 22, 4));
        break;
    case Symbol::Mute:
        painter.drawPolygon(QPolygonF({{-12, -4}, {-7, -4}, {0, -10}, {0, 10}, {-7, 4}, {-12, 4}}));
        painter.setPen(QPen(QColor(powerRed), 2.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, -5), QPointF(12, 5));
        painter.drawLine(QPointF(4, 5), QPointF(12, -5));
        break;
    case Symbol::PauseRecord:
        painter.drawRect(QRectF(-12, -8, 5, 16));
        painter.drawRect(QRectF(-4, -8, 5, 16));
        painter.setBrush(QColor(powerRed));
        painter.drawEllipse(QPointF(8, 0), 6, 6);
        break;
    case Symbol::StopRecord:
        painter.drawRect(QRectF(-12, -7, 13, 14));
        painter.setBrush(QColor(powerRed));
        painter.drawEllipse(QPointF(8, 0), 6, 6);
        break;
    }
}

// The largest bold font at which the label fits the key face (on two lines when it has a
// space); digits get a larger one, as on a real remote.
void drawLabel(QPainter &painter, const QRectF &area, const QString &label, const QColor &ink)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    for (int pixels = label.size() <= 2 ? 22 : 15; pixels >= 7; --pixels) {
        font.setPixelSize(pixels);
        painter.setFont(font);
        const QRectF needed = painter.boundingRect(area, flags, label);
        if (needed.width() <= area.width() && needed.height() <= area.height())
            break;
    }
    painter.setPen(QColor(0, 0, 0, 150));
    painter.drawText(area.translated(0, 1), flags, label);
    painter.setPen(ink);
    painter.drawText(area, flags, label);
}

QImage drawKey(const TAVO_ui_keySlot &slot, bool pressed)
{
    const KeyFace *face = faceOf(slot.keyName);
    const QColor body = face ? QColor::fromRgba(face->body) : QColor::fromRgba(graphite);
    const QColor ink = face ? QColor::fromRgba(face->ink) : QColor::fromRgba(white);
    const Symbol symbol = face ? face->symbol : Symbol::None;
    const QString label = QString::fromUtf8(face && face->label ? face->label : slot.caption);

    QImage image(TAVO_ui_keyGrid::buttonWidth, TAVO_ui_keyGrid::buttonHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawBody(painter, body, pressed);
    // A pressed key sits lower in the case, and so does everything printed on it.
    painter.translate(pressed ? 1 : 0, pressed ? 2 : 0);
    const QRectF faceArea = keyBody.adjusted(5, 3, -5, -3);
    if (symbol == Symbol::None) {
        drawLabel(painter, faceArea, label, ink);
    } else if (label.isEmpty()) {
        painter.save();
        painter.translate(faceArea.center());
        drawSymbol(painter, symbol, ink);
        painter.restore();
    } else {
        painter.save();
        painter.translate(faceArea.left() + 16, faceArea.center().y());
        drawSymbol(painter, symbol, ink);
        painter.restore();
        drawLabel(painter, faceArea.adjusted(30, 0, 0, 0), label, ink);
    }
    return image;
}

bool saveImage(const QImage &image, const QDir &folder, const QString &fileName)
{
    if (image.save(folder.filePath(fileName)))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(fileName));
    return false;
}

bool drawKeyImages(const QDir &folder, const TAVO_ui_keySlot &slot)
{
    const QString image = QString::fromLatin1(slot.image);
    for (bool pressed : {false, true}) {
        const QString fileName = image + (pressed ? QLatin1String("_press.png") : QLatin1String("_over.png"));
        if (!saveImage(drawKey(slot, pressed), folder, fileName))
            return false;
    }
    return true;
}

// A start-up image that differs from the key's own images only in letter case names the same
// file ("HELP" and "Help"): the folder holds it once, and a link gives it the other spelling.
bool provideStartImage(const QDir &folder, const TAVO_ui_keySlot &slot)
{
    const QString startImage = QString::fromLatin1(slot.startImage) + QLatin1String("_over.png");
    const QString image = QString::fromLatin1(slot.image) + QLatin1String("_over.png");
    if (startImage == image)
        return true;
    if (startImage.compare(image, Qt::CaseInsensitive) != 0)
        return saveImage(drawKey(slot, false), folder, startImage);
    const std::filesystem::path link = folder.filePath(startImage).toStdString();
    std::error_code error;
    std::filesystem::remove(link, error);
    std::filesystem::create_symlink(image.toStdString(), link, error);
    if (error)
        std::fprintf(stderr, "cannot link %s: %s\n", qPrintable(startImage), error.message().c_str());
    return !error;
}

bool drawAllKeyImages(const QDir &folder)
{
    for (const TAVO_ui_keySlot &slot : tavoKeySlots) {
        if (slot.hasKey() && !(drawKeyImages(folder, slot) && provideStartImage(folder, slot)))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <image folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!drawStreamerIcon().save(folder.filePath(QStringLiteral("IP_Streamer.png")))) {
        std::fprintf(stderr, "cannot write IP_Streamer.png\n");
        return 1;
    }
    return drawAllKeyImages(folder) ? 0 : 1;
}

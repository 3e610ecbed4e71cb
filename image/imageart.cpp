// Draws the program's images into the folder given as the only argument.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

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
    return 0;
}

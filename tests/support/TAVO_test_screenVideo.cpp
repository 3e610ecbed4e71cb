#include "TAVO_test_screenVideo.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

namespace {

using namespace TAVO_test_screenVideo;

constexpr int frameWidth = 1280;
constexpr int frameHeight = 720;
constexpr int litGrey = 160;
constexpr int darkGrey = 80;

QImage grab(const QRect &rect)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage();
}

} // namespace

namespace TAVO_test_screenVideo {

QRect pictureRect(const QRect &area)
{
    const double scale = std::min(double(area.width()) / frameWidth, double(area.height()) / frameHeight);
    const QSize size(qRound(frameWidth * scale), qRound(frameHeight * scale));
    return QRect(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                 size.width(), size.height());
}

QByteArray sample(const QRect &area)
{
    const QImage image = grab(area);
    QByteArray values;
    for (int y = 0; y < image.height(); y += 8) {
        for (int x = 0; x < image.width(); x += 8)
            values.append(char(qGray(image.pixel(x, y))));
    }
    return values;
}

bool isPicture(const QByteArray &sample)
{
    const auto lit = std::count_if(sample.cbegin(), sample.cend(), [](char grey) { return quint8(grey) > 40; });
    return !sample.isEmpty() && lit * 10 > sample.size() * 3;
}

int markerSlot(const QRect &picture)
{
    const double scale = double(picture.width()) / frameWidth;
    const QPoint topLeft = picture.topLeft() + QPoint(qRound(markerLeft * scale), qRound(markerMiddleY * scale));
    const QImage row = grab(QRect(topLeft, QSize(qRound(markerSlots * markerSlotWidth * scale), 1)));
    int lit = -1;
    for (int slot = 0; slot < markerSlots; ++slot) {
        const int x = qRound((slot + 0.5) * markerSlotWidth * scale);
        const int grey = x < row.width() ? qGray(row.pixel(x, 0)) : 0;
        if (grey > litGrey && lit >= 0)
            return -1;
        if (grey > litGrey)
            lit = slot;
        else if (grey > darkGrey)
            return -1;
    }
    return lit;
}

int frameNumberOf(const QByteArray &blockGreys)
{
    if (blockGreys.size() != frameNumberBlocks)
        return -1;
    int number = 0;
    int whites = 0;
    for (int block = 0; block < frameNumberBlocks; ++block) {
        const int grey = quint8(blockGreys.at(block));
        if (grey > darkGrey && grey <= litGrey)
            return -1;
        if (grey > litGrey) {
            ++whites;
            if (block < frameNumberBits)
                number |= 1 << block;
        }
    }
    return whites % 2 == 1 ? number : -1;
}

int frameNumber(const QRect &picture)
{
    const double scale = double(picture.width()) / frameWidth;
    const QPoint left = picture.topLeft()
                        + QPoint(qRound(frameNumberLeft * scale), qRound((frameNumberTop + frameNumberBlockSize / 2) * scale));
    const QImage row = grab(QRect(left, QSize(qRound(frameNumberBlocks * frameNumberBlockSize * scale), 1)));
    QByteArray greys;
    for (int block = 0; block < frameNumberBlocks; ++block) {
        const int x = qRound((block + 0.5) * frameNumberBlockSize * scale);
        greys.append(char(x < row.width() ? qGray(row.pixel(x, 0)) : 0));
    }
    return frameNumberOf(greys);
}

} // namespace TAVO_test_screenVideo

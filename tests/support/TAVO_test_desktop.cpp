#include "TAVO_test_desktop.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWidget>

QString TAVO_test_desktop::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool TAVO_test_desktop::closeWindow(const QString &windowId)
{
    return QProcess::execute(QStringLiteral(TAVO_BIN_DIR "/tavo_closewindow"), {windowId}) == 0;
}

bool TAVO_test_desktop::showsOnScreen(QWidget *widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const QImage screen = QGuiApplication::primaryScreen()
                              ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
                              .toImage()
                              .convertToFormat(QImage::Format_RGB32);
    const QImage drawn = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (screen.size() != drawn.size())
        return false;
    int same = 0;
    int all = 0;
    for (int y = 0; y < screen.height(); y += 8) {
        for (int x = 0; x < screen.width(); x += 8, ++all) {
            if (qAbs(qGray(screen.pixel(x, y)) - qGray(drawn.pixel(x, y))) < 24)
                ++same;
        }
    }
    return same > all * 0.9;
}

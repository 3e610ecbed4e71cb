#include "TAVO_ui_serverItem.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace {

// Kept as the item's data, so that the table hears of each change and draws the row again.
constexpr int recordedByRole = Qt::UserRole + 1;

QIcon recordingDot()
{
    QPixmap dot(32, 32);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc0, 0, 0));
    painter.drawEllipse(QRectF(4, 4, 24, 24));
    // Red on the selected row too, rather than tinted by the selection.
    QIcon icon(dot);
    icon.addPixmap(dot, QIcon::Selected);
    return icon;
}

} // namespace

TAVO_ui_serverItem::TAVO_ui_serverItem(const QIcon &icon, const QString &text, const TAVO_SERVER *server)
    : QTableWidgetItem(icon, text)
    , server(server)
{
}

QVariant TAVO_ui_serverItem::data(int role) const
{
    if (role == Qt::ToolTipRole)
        return toolTip();
    if (role == Qt::DecorationRole && !recordedBy().isEmpty()) {
        static const QIcon dot = recordingDot();
        return dot;
    }
    return QTableWidgetItem::data(role);
}

// The box's own texts are escaped: a tool tip that looks like markup is shown as markup.
QString TAVO_ui_serverItem::toolTip() const
{
    QStringList lines;
    if (!recordedBy().isEmpty())
        lines << QStringLiteral("Being recorded by ") + recordedBy();
    if (!isAnswering())
        lines << QStringLiteral("Not answering since ") + notAnsweringSince.toString(QStringLiteral("HH:mm"));
    if (server) {
        const DEVICE &device = server->device;
        lines << QStringLiteral("Model: ") + device.modelName + QStringLiteral(" (") + device.modelNumber
                     + QLatin1Char(')')
              << QStringLiteral("Serial number: ") + device.serialNumber
              << QStringLiteral("Address: ") + server->host + QLatin1Char(':') + server->port;
    }
    if (lines.isEmpty())
        return QString();
    for (QString &line : lines)
        line = line.toHtmlEscaped();
    return QStringLiteral("<p style='white-space:pre'>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

void TAVO_ui_serverItem::setPlaying(bool playing)
{
    QFont bold = font();
    bold.setBold(playing);
    setFont(bold);
}

void TAVO_ui_serverItem::setAnswering(bool answering, const QTime &now)
{
    if (answering == isAnswering())
        return;
    notAnsweringSince = answering ? QTime() : now;
    if (answering)
        setData(Qt::ForegroundRole, QVariant());
    else
        setForeground(QApplication::palette().brush(QPalette::Disabled, QPalette::Text));
}

void TAVO_ui_serverItem::setRecordedBy(const QString &recorder)
{
    if (recorder != recordedBy())
        setData(recordedByRole, recorder);
}

QString TAVO_ui_serverItem::recordedBy() const
{
    return QTableWidgetItem::data(recordedByRole).toString();
}

bool TAVO_ui_serverItem::isAnswering() const
{
    return !notAnsweringSince.isValid();
}

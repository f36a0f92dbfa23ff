#include "Callouts.h"

#include <QFont>
#include <QFontMetrics>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>

namespace fenban::shots {

namespace {

const QColor Accent(0xC0, 0x39, 0x2B);
const QColor BubbleFill(0xFF, 0xF8, 0xE1);
const QColor Ink(0x21, 0x21, 0x21);
constexpr int Radius = 10; // of the numbered disc
constexpr int Padding = 6;

// The point of the bubble's edge nearest to target.
QPointF EdgePoint(const QRectF& bubble, QPointF target)
{
    return {
        std::clamp(target.x(), bubble.left(), bubble.right()), std::clamp(target.y(), bubble.top(), bubble.bottom())};
}

} // namespace

QFont CalloutFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void DrawNumber(QPainter& painter, QPoint centre, int number)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(Accent);
    painter.drawEllipse(QPointF(centre), Radius, Radius);
    painter.setFont(CalloutFont(13, true));
    painter.drawText(QRect(centre.x() - Radius, centre.y() - Radius, 2 * Radius, 2 * Radius), Qt::AlignCenter,
        QString::number(number));
    painter.restore();
}

void DrawRing(QPainter& painter, const QRect& control)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Accent, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(control).adjusted(-2, -2, 2, 2), 4, 4);
    painter.restore();
}

QRect DrawCallout(QPainter& painter, const Callout& callout)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = CalloutFont(13);
    const QFontMetrics metrics(font);
    const int textLeft = Padding + 2 * Radius + 4;
    const QRect textBox = metrics.boundingRect(
        QRect(0, 0, callout.bubble.width() - textLeft - Padding, 1000), Qt::TextWordWrap, callout.text);
    QRect bubble = callout.bubble;
    bubble.setHeight(std::max(textBox.height(), 2 * Radius) + 2 * Padding);

    if (callout.leader) {
        const QPointF start = EdgePoint(bubble, callout.target);
        painter.setPen(QPen(Accent, 2));
        painter.drawLine(QLineF(start, callout.target));
        painter.setBrush(Accent);
        painter.drawEllipse(QPointF(callout.target), 3.5, 3.5);
    }
    painter.setPen(QPen(Accent, 1.5));
    painter.setBrush(BubbleFill);
    painter.drawRoundedRect(QRectF(bubble), 6, 6);
    painter.setPen(Ink);
    painter.setFont(font);
    painter.drawText(bubble.adjusted(textLeft, Padding, -Padding, -Padding), Qt::TextWordWrap, callout.text);
    painter.restore();

    DrawNumber(painter, QPoint(bubble.left() + Padding + Radius, bubble.top() + Padding + Radius - 1), callout.number);
    return bubble;
}

void Pale(QPainter& painter, const QRect& region)
{
    painter.fillRect(region, QColor(255, 255, 255, 110));
}

} // namespace fenban::shots

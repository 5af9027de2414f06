#include "common/DrawnIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kInk(0x3c, 0x3c, 0x3c);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kAccent(0x2a, 0x62, 0xb8);

// Drawn on a 16-unit grid, scaled to the pixmap's size.
void paint(QPainter& p, TDrawnIcon kind) {
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(kInk, 1.2);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    switch (kind) {
        case TDrawnIcon::SortAscending:
        case TDrawnIcon::SortDescending: {
            // Letters from A to Z beside an arrow in the sort's direction: never taken for
            // the search's next and previous arrows.
            const bool up = kind == TDrawnIcon::SortAscending;
            QFont font = p.font();
            font.setPixelSize(7);
            font.setBold(true);
            p.setFont(font);
            p.drawText(QRectF(0, 0, 9, 8), Qt::AlignCenter,
                       up ? QStringLiteral("A") : QStringLiteral("Z"));
            p.drawText(QRectF(0, 8, 9, 8), Qt::AlignCenter,
                       up ? QStringLiteral("Z") : QStringLiteral("A"));
            p.setPen(QPen(kAccent, 1.6));
            p.drawLine(QPointF(12.5, 2), QPointF(12.5, 14));
            p.setBrush(kAccent);
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(9.5, 11), QPointF(15.5, 11), QPointF(12.5, 15)}));
            break;
        }
        case TDrawnIcon::Printer:
            p.setBrush(kPaper);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));  // paper going in
            p.setBrush(QColor(0xb8, 0xb8, 0xb8));
            p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);  // the body
            p.setBrush(kPaper);
            p.drawRect(QRectF(4.5, 9.5, 7, 5));  // the printed sheet
            p.setPen(QPen(kInk, 0.8));
            p.drawLine(QPointF(6, 11.5), QPointF(10, 11.5));
            p.drawLine(QPointF(6, 13), QPointF(10, 13));
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawEllipse(QPointF(12.3, 7.5), 0.9, 0.9);
            break;
        case TDrawnIcon::PageSetup:
            p.setBrush(kPaper);
            p.drawRect(QRectF(2.5, 0.5, 11, 15));  // the page
            p.setPen(QPen(kAccent, 0.9, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(4.5, 2.5, 7, 11));  // its margins
            p.setPen(QPen(kInk, 0.8));
            for (qreal y = 4.5; y < 12; y += 2) {
                p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
            }
            break;
        case TDrawnIcon::Envelope:
            p.setBrush(kPaper);
            p.drawRect(QRectF(1.5, 3.5, 13, 9));
            p.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
            break;
    }
}

}  // namespace

QIcon DrawnIcon(TDrawnIcon kind) {
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.scale(size / 16.0, size / 16.0);
        paint(p, kind);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon ThemeOrDrawnIcon(const char* themeName, TDrawnIcon kind) {
    return QIcon::fromTheme(QLatin1String(themeName), DrawnIcon(kind));
}

#include "ui/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace korvel::glyphs {

namespace {

template <typename Paint>
QPixmap Draw(int w, int h, Paint&& paint) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return pm;
}

void Page(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setPen(QPen(QColor(70, 110, 170), 1));
    for (qreal y = r.top() + 4; y < r.bottom() - 2; y += 3.5)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void Arrow(QPainter& p, QPointF from, qreal length, QColor colour) {
    QPolygonF a;
    const qreal x = from.x(), y = from.y();
    a << QPointF(x, y - 3) << QPointF(x + length - 7, y - 3) << QPointF(x + length - 7, y - 7)
      << QPointF(x + length, y) << QPointF(x + length - 7, y + 7) << QPointF(x + length - 7, y + 3)
      << QPointF(x, y + 3);
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawPolygon(a);
}

void Folder(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(250, 205, 80));
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 3);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + 3);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + 6);
    path.lineTo(r.right(), r.top() + 6);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

}  // namespace

QIcon CreateDataFiles() {
    return QIcon(Draw(32, 32, [](QPainter& p) {
        Page(p, QRectF(3.5, 2.5, 18, 24));
        Arrow(p, QPointF(12, 21), 18, QColor(40, 170, 60));
    }));
}

QIcon Exit() {
    return QIcon(Draw(32, 32, [](QPainter& p) {
        p.setPen(QPen(QColor(80, 60, 40), 1));
        p.setBrush(QColor(190, 150, 100));
        p.drawRect(QRectF(4.5, 3.5, 14, 25));
        p.setBrush(QColor(120, 80, 40));
        p.drawPolygon(QPolygonF(
            {QPointF(4.5, 3.5), QPointF(12.5, 6.5), QPointF(12.5, 30.5), QPointF(4.5, 28.5)}));
        Arrow(p, QPointF(14, 16), 16, QColor(210, 40, 40));
    }));
}

QIcon Options() {
    return QIcon(Draw(32, 32, [](QPainter& p) {
        Page(p, QRectF(5.5, 2.5, 21, 27));
        p.setPen(QPen(QColor(40, 150, 60), 2.2));
        for (int i = 0; i < 3; ++i) {
            const qreal y = 9 + i * 7;
            p.drawLine(QPointF(8, y), QPointF(10, y + 2.5));
            p.drawLine(QPointF(10, y + 2.5), QPointF(14, y - 2.5));
        }
    }));
}

QIcon LoadConfiguration() {
    return QIcon(Draw(16, 16, [](QPainter& p) { Folder(p, QRectF(0.5, 1.5, 14, 12)); }));
}

QIcon SaveConfiguration() {
    return QIcon(Draw(16, 16, [](QPainter& p) {
        p.setPen(QPen(QColor(20, 40, 110), 1));
        p.setBrush(QColor(60, 100, 190));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
    }));
}

QIcon Lock() {
    return QIcon(Draw(16, 16, [](QPainter& p) {
        p.setPen(QPen(QColor(90, 90, 90), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(4.5, 1.5, 7, 9), 3.5, 3.5);
        p.setPen(QPen(QColor(130, 90, 10), 1));
        p.setBrush(QColor(235, 185, 50));
        p.drawRect(QRectF(2.5, 7.5, 11, 7));
    }));
}

QIcon Browse() {
    return QIcon(Draw(16, 16, [](QPainter& p) {
        Folder(p, QRectF(0.5, 1.5, 14, 12));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 60, 60));
        for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(4.5 + i * 3.5, 10.5), 1, 1);
    }));
}

QIcon Stop() {
    return QIcon(Draw(16, 16, [](QPainter& p) {
        QPolygonF oct;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
            oct << QPointF(8 + 7 * std::cos(a), 8 + 7 * std::sin(a));
        }
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(210, 30, 30));
        p.drawPolygon(oct);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
    }));
}

QIcon Help() {
    return QIcon(Draw(16, 16, [](QPainter& p) {
        p.setPen(QPen(QColor(20, 60, 140), 1));
        p.setBrush(QColor(60, 120, 210));
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(Qt::white);
        QFont f;
        f.setPixelSize(12);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    }));
}

QPixmap Processing(int size) {
    return Draw(size, size, [size](QPainter& p) {
        const qreal s = size / 32.0;
        p.scale(s, s);
        Page(p, QRectF(2.5, 2.5, 17, 23));
        Page(p, QRectF(12.5, 7.5, 17, 23));
    });
}

QPixmap WebSite(int width, int height) {
    return Draw(width, height, [width, height](QPainter& p) {
        QLinearGradient g(0, 0, width, 0);
        g.setColorAt(0, QColor(30, 70, 140));
        g.setColorAt(1, QColor(90, 150, 220));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(0, 0, width, height), 6, 6);
        p.setPen(Qt::white);
        QFont f;
        f.setPixelSize(height / 3);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, QStringLiteral("Tessivo"));
    });
}

}  // namespace korvel::glyphs

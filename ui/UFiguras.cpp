#include "ui/UFiguras.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap Transparente(int lado) {
    QPixmap figura(lado, lado);
    figura.fill(Qt::transparent);
    return figura;
}

}  // namespace

QPixmap FiguraFerramentas() {
    QPixmap figura = Transparente(32);
    QPainter p(&figura);
    p.setRenderHint(QPainter::Antialiasing);

    // Wrench, from bottom left to top right: handle, then an open jaw.
    p.save();
    p.translate(16, 16);
    p.rotate(45);
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(QColor(170, 175, 185));
    p.drawRoundedRect(QRectF(-2.5, -3, 5, 16), 2, 2);
    QPainterPath cabeca;
    cabeca.addEllipse(QPointF(0, -7), 6.5, 6.5);
    QPainterPath boca;
    boca.addRect(QRectF(-2.5, -15, 5, 8));
    p.drawPath(cabeca.subtracted(boca));
    p.restore();

    // Screwdriver, from bottom right to top left: red handle, steel shaft.
    p.save();
    p.translate(16, 16);
    p.rotate(-45);
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.setBrush(QColor(200, 205, 215));
    p.drawRect(QRectF(-1.2, -14, 2.4, 14));
    p.setBrush(QColor(200, 30, 30));
    p.drawRoundedRect(QRectF(-3.5, 0, 7, 14), 3, 3);
    p.setPen(QPen(QColor(255, 140, 140), 1));
    p.drawLine(QPointF(-1, 3), QPointF(-1, 11));
    p.restore();
    return figura;
}

QPixmap FiguraConfirmar() {
    QPixmap figura = Transparente(24);
    QPainter p(&figura);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath marca;
    marca.moveTo(3, 13);
    marca.lineTo(9, 19);
    marca.lineTo(21, 5);
    p.setPen(QPen(QColor(0, 100, 0), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(marca);
    p.setPen(QPen(QColor(40, 180, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(marca);
    return figura;
}

QPixmap FiguraCancelar() {
    QPixmap figura = Transparente(24);
    QPainter p(&figura);
    p.setRenderHint(QPainter::Antialiasing);
    const QLineF a(5, 5, 19, 19);
    const QLineF b(19, 5, 5, 19);
    p.setPen(QPen(QColor(120, 0, 0), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a);
    p.drawLine(b);
    p.setPen(QPen(QColor(230, 30, 30), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(a);
    p.drawLine(b);
    return figura;
}

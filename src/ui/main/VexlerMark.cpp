#include "ui/main/VexlerMark.h"

#include <QPolygonF>
#include <QTransform>

QPainterPath VexlerMark::path(const QRectF &rect)
{
    // Drawn in a unit square, then fitted into the largest centred square of `rect`.
    QPainterPath unit;
    unit.setFillRule(Qt::WindingFill);
    unit.addPolygon(QPolygonF({ { 0.04, 0.12 }, { 0.29, 0.12 }, { 0.50, 0.62 }, { 0.71, 0.12 }, { 0.96, 0.12 },
        { 0.61, 0.92 }, { 0.39, 0.92 }, { 0.04, 0.12 } }));
    unit.addPolygon(QPolygonF({ { 0.50, 0.02 }, { 0.63, 0.17 }, { 0.50, 0.32 }, { 0.37, 0.17 }, { 0.50, 0.02 } }));
    unit.closeSubpath();

    const qreal side = std::min(rect.width(), rect.height());
    QTransform transform;
    transform.translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
    transform.scale(side, side);
    return transform.map(unit);
}

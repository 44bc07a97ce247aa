#include "ui/CachedPanelStyle.h"

#include <QPainter>
#include <QStyleOption>
#include <QWidget>

CachedPanelStyle *CachedPanelStyle::install(QWidget *widget)
{
    auto *style = new CachedPanelStyle;
    style->setParent(widget);
    widget->setStyle(style);
    return style;
}

void CachedPanelStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    const auto *panel = qstyleoption_cast<const QStyleOptionFrame *>(option);
    if (element != PE_PanelLineEdit || !panel || option->rect.isEmpty()
        || painter->transform().type() > QTransform::TxTranslate) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
    const Key key{ option->rect.size(), ratio, int(option->state), panel->lineWidth, option->palette.cacheKey() };
    auto found = m_panels.constFind(key);
    if (found == m_panels.cend()) {
        QPixmap pixmap(option->rect.size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QStyleOptionFrame atOrigin = *panel;
        atOrigin.rect.moveTo(0, 0);
        QPainter into(&pixmap);
        QProxyStyle::drawPrimitive(element, &atOrigin, &into, widget);
        into.end();
        // A few looks (focus, hover, enabled, palette) per size; the limit only guards against a
        // field whose width keeps changing.
        if (m_panels.size() >= 32)
            m_panels.clear();
        found = m_panels.insert(key, pixmap);
    }
    painter->drawPixmap(option->rect.topLeft(), *found);
}

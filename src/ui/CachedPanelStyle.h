#pragma once

#include <QHash>
#include <QPixmap>
#include <QProxyStyle>

// The application's style, except that a line edit's panel (background and frame) is drawn once
// per look and then copied. A search field repaints its whole panel on every keystroke, and the
// style strokes its rounded, antialiased frame each time, which costs more than the text.
// Set on one widget, it is parented to that widget.
class CachedPanelStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Makes the style and sets it on `widget`.
    static CachedPanelStyle *install(QWidget *widget);

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const override;

private:
    CachedPanelStyle() = default;

    struct Key {
        QSize size;
        qreal ratio;
        int state;
        int lineWidth;
        qint64 palette;
        bool operator==(const Key &) const = default;
    };
    friend size_t qHash(const Key &key, size_t seed = 0) noexcept
    {
        return qHashMulti(seed, key.size.width(), key.size.height(), key.ratio, key.state, key.lineWidth, key.palette);
    }

    mutable QHash<Key, QPixmap> m_panels;
};

#pragma once

#include <QPainterPath>
#include <QRectF>

// The maker's logo mark: a bold V with a diamond resting in its notch. A filled shape that
// scales to any rectangle (the sidebar header draws it at 22 × 22 in the brand gradient).
class VexlerMark {
public:
    static QPainterPath path(const QRectF &rect);
};

#include "ui/RoundedPanel.h"

#include "ui/Colors.h"

#include <QPainter>

RoundedPanel::RoundedPanel(QColor fill, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_fill(std::move(fill))
    , m_radius(radius)
{
}

RoundedPanel::RoundedPanel(QPalette::ColorRole role, qreal opacity, qreal radius, QWidget *parent)
    : QWidget(parent)
    , m_role(role)
    , m_opacity(opacity)
    , m_radius(radius)
{
}

void RoundedPanel::setFill(const QColor &fill)
{
    m_fill = fill;
    m_role.reset();
    update();
}

QColor RoundedPanel::fill() const
{
    return m_role ? Colors::withOpacity(palette().color(*m_role), m_opacity) : m_fill;
}

void RoundedPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill());
    painter.drawRoundedRect(QRectF(rect()), m_radius, m_radius);
}

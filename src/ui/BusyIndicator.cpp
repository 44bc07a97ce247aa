#include "ui/BusyIndicator.h"

#include "ui/Colors.h"

#include <QPainter>

BusyIndicator::BusyIndicator(QWidget *parent, int diameter)
    : QWidget(parent)
    , m_diameter(diameter)
{
    setFixedSize(diameter, diameter);
    setAccessibleName(QStringLiteral("Working"));
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update();
    });
}

QSize BusyIndicator::sizeHint() const
{
    return QSize(m_diameter, m_diameter);
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max(1.5, m_diameter / 8.0);
    const QRectF circle = QRectF(rect()).adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    painter.setPen(QPen(Colors::withOpacity(Colors::secondary(this), 0.35), pen));
    painter.drawEllipse(circle);
    painter.setPen(QPen(palette().color(QPalette::WindowText), pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, -m_angle * 16, 100 * 16);
}

void BusyIndicator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void BusyIndicator::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

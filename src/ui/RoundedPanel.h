#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

#include <optional>

// A rounded rectangle behind a block of a screen: a summary, a banner, an icon tile, a
// message or preview plate. The fill is either a fixed colour or a palette colour at an
// opacity, read when painting so it follows a change of theme.
class RoundedPanel : public QWidget {
    Q_OBJECT

public:
    RoundedPanel(QColor fill, qreal radius, QWidget *parent = nullptr);
    RoundedPanel(QPalette::ColorRole role, qreal opacity, qreal radius, QWidget *parent = nullptr);

    void setFill(const QColor &fill);
    QColor fill() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill;
    std::optional<QPalette::ColorRole> m_role;
    qreal m_opacity = 1.0;
    qreal m_radius;
};

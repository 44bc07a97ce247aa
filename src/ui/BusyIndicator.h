#pragma once

#include <QTimer>
#include <QWidget>

// A small indeterminate spinner (the "small progress indicator" of the screens). It only
// animates while visible, so a hidden one costs nothing.
class BusyIndicator : public QWidget {
    Q_OBJECT

public:
    explicit BusyIndicator(QWidget *parent = nullptr, int diameter = 14);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    int m_diameter;
    int m_angle = 0;
    QTimer m_timer;
};

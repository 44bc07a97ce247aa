#pragma once

#include <QColor>
#include <QObject>

#include <functional>

class QWidget;

// Keeps a widget's text colour derived from the palette around it: a colour set once (the
// secondary grey, a tint of the text colour) would stay as it was when the appearance changes
// from light to dark at run time. The follower recomputes it on every palette change.
class PaletteFollower : public QObject {
    Q_OBJECT

public:
    // Computes the text colour from the palette the widget inherits.
    using Compute = std::function<QColor(const QPalette &inherited)>;

    // Draws the widget's text in `compute(inherited palette)`, now and after every palette change.
    static void follow(QWidget *widget, Compute compute);
    // The secondary text colour (Colors::secondary), kept current.
    static void secondaryText(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PaletteFollower(QWidget *widget, Compute compute);
    void apply();

    QWidget *m_widget;
    Compute m_compute;
    bool m_applying = false;
};

#include "ui/PaletteFollower.h"

#include "ui/Colors.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QWidget>

PaletteFollower::PaletteFollower(QWidget *widget, Compute compute)
    : QObject(widget)
    , m_widget(widget)
    , m_compute(std::move(compute))
{
    setObjectName(QStringLiteral("paletteFollower"));
    widget->installEventFilter(this);
    apply();
}

void PaletteFollower::follow(QWidget *widget, Compute compute)
{
    // One follower per widget: a second call replaces the first.
    for (PaletteFollower *old : widget->findChildren<PaletteFollower *>(Qt::FindDirectChildrenOnly))
        delete old;
    new PaletteFollower(widget, std::move(compute));
}

void PaletteFollower::secondaryText(QWidget *widget)
{
    follow(widget, [](const QPalette &palette) { return Colors::secondaryOf(palette); });
}

bool PaletteFollower::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && !m_applying
        && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange))
        apply();
    return false;
}

void PaletteFollower::apply()
{
    // The widget's own text roles are overridden by the colour set here, so the palette to
    // derive from is the one it would inherit: its parent's, or the application's.
    const QWidget *parent = m_widget->isWindow() ? nullptr : m_widget->parentWidget();
    const QPalette inherited = parent ? parent->palette() : QApplication::palette(m_widget);
    const QColor color = m_compute(inherited);
    m_applying = true;
    Colors::setTextColor(m_widget, color);
    m_applying = false;
}

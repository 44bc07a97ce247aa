#include "ui/ProminentButton.h"

#include "ui/Colors.h"
#include "ui/Symbols.h"

using namespace Qt::StringLiterals;

ProminentButton::ProminentButton(const QString &symbol, const QString &text, QWidget *parent)
    : QPushButton(Symbols::icon(symbol, Qt::white), text, parent)
{
    setIconSize(QSize(15, 15));
    setCursor(Qt::PointingHandCursor);
    applyStyle(this);
}

void ProminentButton::applyStyle(QPushButton *button)
{
    const QColor accent = Colors::blue();
    button->setStyleSheet(
        u"QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
        " padding: 4px 12px; }"
        "QPushButton:pressed { background: %2; }"
        "QPushButton:disabled { background: %3; color: %4; }"_s.arg(accent.name(), accent.darker(120).name(),
            Colors::css(accent, 90 / 255.0), Colors::css(Qt::white, 200 / 255.0)));
}

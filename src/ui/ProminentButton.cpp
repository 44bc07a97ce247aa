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
        "QPushButton:disabled { background: rgba(%3, %4, %5, 90); color: rgba(255, 255, 255, 200); }"_s
            .arg(accent.name(), accent.darker(120).name())
            .arg(accent.red())
            .arg(accent.green())
            .arg(accent.blue()));
}

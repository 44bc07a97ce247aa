#include "ui/WizardStyle.h"

#include "ui/Colors.h"
#include "ui/ProminentButton.h"

#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace WizardStyle {

QLabel *label(const QString &text, Fonts::Style style, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Fonts::font(style));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *secondaryLabel(const QString &text, Fonts::Style style, QWidget *parent)
{
    QLabel *result = label(text, style, parent);
    Colors::setTextColor(result, Colors::secondary(parent));
    return result;
}

void setProminent(QPushButton *button, bool prominent)
{
    if (!prominent) {
        button->setStyleSheet(QString());
        return;
    }
    ProminentButton::applyStyle(button);
}

} // namespace WizardStyle

#include "ui/WizardStyle.h"

#include "ui/Colors.h"
#include "ui/PaletteFollower.h"
#include "ui/ProminentButton.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// Presses the focused button on Return or Enter before the dialog hands the key to its default
// button.
class ReturnPresser : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->modifiers() & ~Qt::KeypadModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(watched);
        if (!button || !button->isVisible() || !button->isEnabled())
            return false;
        button->click();
        return true;
    }
};

} // namespace

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
    PaletteFollower::secondaryText(result);
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

void pressOnReturn(QPushButton *button)
{
#ifdef Q_OS_MACOS
    Q_UNUSED(button);
#else
    button->installEventFilter(new ReturnPresser(button));
#endif
}

} // namespace WizardStyle

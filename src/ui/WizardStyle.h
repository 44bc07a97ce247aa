#pragma once

#include "ui/Fonts.h"

#include <QColor>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// Small helpers the setup screens share for their many lines of styled text.
namespace WizardStyle {

// A word-wrapped label in a text style.
QLabel *label(const QString &text, Fonts::Style style, QWidget *parent);
// The same in the secondary colour.
QLabel *secondaryLabel(const QString &text, Fonts::Style style, QWidget *parent);

// Draws a button as the filled accent-colour button of a screen's main action, or back as an
// ordinary bordered one.
void setProminent(QPushButton *button, bool prominent);

// Return on the focused button presses that button rather than the sheet's default one, as
// desktops other than macOS expect; on macOS Return stays with the default button.
void pressOnReturn(QPushButton *button);

} // namespace WizardStyle

#pragma once

#include <QPushButton>

// The filled accent-colour button of a screen's main action ("Install 3", "Upgrade all"), with
// a white symbol before its text. Dimmed while disabled.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    ProminentButton(const QString &symbol, const QString &text, QWidget *parent = nullptr);

    // Gives any push button the same filled look (the wizard's primary button changes with the page).
    static void applyStyle(QPushButton *button);
};

#pragma once

#include "setup/engine/SetupComponent.h"
#include "setup/engine/StepState.h"

#include <QString>
#include <QWidget>

class QLabel;
class RoundedPanel;
class QToolButton;
class SymbolLabel;

// One setup component on the Home screen: its icon, title, state and the button that opens the
// wizard for it.
class ComponentCard : public QWidget {
    Q_OBJECT

public:
    // "Fix", "Set up", "Configure", or nothing for a component that does not apply.
    static QString buttonText(StepState::Kind kind);

    ComponentCard(SetupComponent component, const StepState &state, QWidget *parent = nullptr);

    SetupComponent component() const { return m_component; }
    StepState state() const { return m_state; }
    void setState(const StepState &state);

    // The state symbol beside the title.
    QString stateSymbol() const;

Q_SIGNALS:
    // The card's button was pressed.
    void action();

protected:
    void paintEvent(QPaintEvent *event) override;
    // The symbols are drawn in palette-derived colours: draw them again for a new palette.
    void changeEvent(QEvent *event) override;

private:
    void render();

    SetupComponent m_component;
    StepState m_state;
    RoundedPanel *m_tile;
    QLabel *m_tileIcon;
    QLabel *m_title;
    QLabel *m_stateIcon;
    QLabel *m_message;
    QToolButton *m_button;
    QString m_stateSymbol;
};

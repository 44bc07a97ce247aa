#pragma once

#include "setup/engine/SetupComponent.h"
#include "setup/engine/StepState.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>

class QCheckBox;
class SetupStore;
class StateLabel;

// The wizard's first page: every component with its tick box and its current state.
class SelectPage : public QWidget {
    Q_OBJECT

public:
    // The selection after the user ticks or unticks a component. Powerlevel10k needs Oh My Zsh:
    // ticking it ticks Oh My Zsh and unticking Oh My Zsh unticks it, unless Oh My Zsh is
    // already in place (done or not applicable).
    static QSet<SetupComponent> applyToggle(
        QSet<SetupComponent> selected, SetupComponent component, bool on, const StepState &ohMyZshState);

    SelectPage(SetupStore *setup, const QSet<SetupComponent> &selected, QWidget *parent = nullptr);

    void setSelected(const QSet<SetupComponent> &selected);

Q_SIGNALS:
    // The user ticked or unticked a component.
    void toggled(SetupComponent component, bool on);

private:
    void refreshStates();

    QPointer<SetupStore> m_setup;
    QHash<SetupComponent, QCheckBox *> m_checks;
    QHash<SetupComponent, StateLabel *> m_states;
};

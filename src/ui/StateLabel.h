#pragma once

#include "setup/engine/StepState.h"

#include <QColor>
#include <QString>
#include <QWidget>

class BusyIndicator;
class SymbolLabel;

// A component's state as a short line with a leading symbol in the state's colour; a small
// spinner and no text while the state is not known yet.
class StateLabel : public QWidget {
    Q_OBJECT

public:
    explicit StateLabel(const StepState &state = StepState::unknown(), QWidget *parent = nullptr);

    void setState(const StepState &state);
    StepState state() const { return m_state; }

    // The state in words, for screen readers: "Done", "Partly done", "Missing"…
    static QString spokenName(StepState::Kind kind);
    // The symbol name of a state (empty for unknown), shared with the Home screen's cards.
    static QString symbolFor(StepState::Kind kind);
    // Green for done, orange for partial, the secondary colour otherwise.
    static QColor colorFor(StepState::Kind kind, const QWidget *widget = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void render();

    StepState m_state;
    SymbolLabel *m_label;
    BusyIndicator *m_spinner;
};

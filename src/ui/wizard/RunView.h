#pragma once

#include "setup/engine/ApplyResult.h"
#include "setup/engine/SetupComponent.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class BusyIndicator;
class LiveLogView;
class QLabel;
class QVBoxLayout;
class SetupStore;

// The wizard's view of an apply run: one line per component with its result, and the run log
// below, following the newest output.
class RunView : public QWidget {
    Q_OBJECT

public:
    explicit RunView(SetupStore *setup, QWidget *parent = nullptr);

    // The symbol a result shows (empty while running: a spinner stands there instead).
    // A row's result in words, for screen readers.
    static QString spokenResult(ApplyResult::Kind kind);
    static QString symbolFor(ApplyResult::Kind kind);
    // What a component's line shows now: its symbol name (or "spinner") and failure text.
    QString shownSymbol(SetupComponent component) const;
    QString shownFailure(SetupComponent component) const;

protected:
    void changeEvent(QEvent *event) override;

private:
    struct Row {
        QWidget *widget;
        QLabel *icon;
        BusyIndicator *spinner;
        QLabel *failure;
        QString symbol;
    };

    void rebuildRows();
    void refreshResults();

    QPointer<SetupStore> m_setup;
    QVBoxLayout *m_rowsLayout;
    QHash<SetupComponent, Row> m_rows;
    LiveLogView *m_log;
};

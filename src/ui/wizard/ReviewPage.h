#pragma once

#include "setup/config/SetupConfig.h"
#include "setup/engine/SetupComponent.h"
#include "setup/engine/StepState.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <optional>

// The wizard's last page before the run: what will be done for each chosen component, and the
// things worth knowing before starting (dialogs, backups, restarts, passwords).
class ReviewPage : public QWidget {
    Q_OBJECT

public:
    // The line under a component's title, from the draft configuration.
    static QString detailLine(SetupComponent component, const SetupConfig &config);
    // The notes for a selection, in display order. `states`: the last known component states.
    static QStringList notes(const QSet<SetupComponent> &selected, const SetupConfig &config,
        const QHash<SetupComponent, StepState> &states);

    // `brewPath`: for "Show changes…", which works out what Apply will do.
    ReviewPage(const SetupConfig &config, const QSet<SetupComponent> &selected,
        const QHash<SetupComponent, StepState> &states, QWidget *parent = nullptr,
        std::optional<QString> brewPath = std::nullopt);
};

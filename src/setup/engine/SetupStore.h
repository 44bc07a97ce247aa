#pragma once

#include "platform/BoundedLog.h"
#include "setup/config/SetupConfig.h"
#include "setup/engine/ApplyResult.h"
#include "setup/engine/SetupComponent.h"
#include "setup/engine/StepState.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class ActivityStore;
class StoreRunContext;

// The model behind the setup half of the application: the configuration (saved on every
// assignment), the last known state of every component, and the one apply run that may exist at
// a time with its per-component results and live log. Reports runs to the shared ActivityStore.
// Lives on the GUI thread; every field notifies when it changes. Views connect to the xChanged
// signals directly; no field is declared a Q_PROPERTY (see BrewStore).
class SetupStore : public QObject {
    Q_OBJECT

public:
    explicit SetupStore(ActivityStore *activity, QObject *parent = nullptr);
    ~SetupStore() override;

    ActivityStore *activity() const { return m_activity; }

    const SetupConfig &config() const { return m_config; }
    // Saves every time, also when the value is unchanged.
    void setConfig(const SetupConfig &config);

    const QHash<SetupComponent, StepState> &states() const { return m_states; }
    // `unknown` until the component has been checked.
    StepState state(SetupComponent component) const;
    bool isChecking() const { return m_isChecking; }
    bool isApplying() const { return m_isApplying; }
    const QHash<SetupComponent, ApplyResult> &results() const { return m_results; }
    const QList<SetupComponent> &applyOrder() const { return m_applyOrder; }
    const QString &log() const { return m_log.text(); }
    bool hasSeenWizard() const { return m_hasSeenWizard; }
    // Stored in the user defaults under "hasSeenWizard" on every assignment.
    void setHasSeenWizard(bool seen);
    bool refreshQueued() const { return m_refreshQueued; }

    // Checks every component. While a check runs, further calls queue exactly one more check;
    // while a run applies, they do nothing (the run checks when it ends).
    QCoro::Task<> refresh();
    // Starts a run of the given components in the fixed component order and returns at once.
    // Does nothing while a run is in progress. `brewPath`: nothing when Homebrew is missing.
    // `configuration`: the settings to apply instead of config() (the command line's --config),
    // neither stored nor saved.
    void apply(const QList<SetupComponent> &components, const std::optional<QString> &brewPath,
        const std::optional<SetupConfig> &configuration = std::nullopt);
    // The running step ends at its next cancellation point; every later step is marked
    // "Cancelled" without running.
    void cancelApply();
    // Appends to the run log, keeping its newest 150,000 characters once it passes 200,000.
    void appendLog(const QString &text);

Q_SIGNALS:
    void configChanged();
    void statesChanged();
    void isCheckingChanged();
    void isApplyingChanged();
    void resultsChanged();
    void applyOrderChanged();
    // The log changed in some way. A view that shows it follows the two finer signals instead.
    void logChanged();
    // `text` was appended at the end of the log.
    void logAppended(const QString &text);
    // The log was cleared or cut back to its newest part; re-read it whole.
    void logReset();
    void hasSeenWizardChanged();
    void refreshQueuedChanged();
    // A run has ended and the states have been checked again.
    void applyFinished();

private:
    QCoro::Task<> checkAll();
    QCoro::Task<> runApply(QList<SetupComponent> order, SetupConfig snapshot, std::optional<QString> brewPath,
        std::shared_ptr<StoreRunContext> context);
    void finishRun();
    void setIsChecking(bool checking);
    void setIsApplying(bool applying);
    void setRefreshQueued(bool queued);
    void setResult(SetupComponent component, const ApplyResult &result);

    QPointer<ActivityStore> m_activity;
    SetupConfig m_config;
    QHash<SetupComponent, StepState> m_states;
    bool m_isChecking = false;
    bool m_isApplying = false;
    QHash<SetupComponent, ApplyResult> m_results;
    QList<SetupComponent> m_applyOrder;
    BoundedLog m_log;
    // The task of the current or last run; kept after the run ends.
    std::optional<QCoro::Task<>> m_applyTask;
    std::shared_ptr<StoreRunContext> m_run;
    bool m_hasSeenWizard = false;
    bool m_refreshQueued = false;
};

#include "setup/engine/SetupStore.h"

#include "brew/ActivityStore.h"
#include "platform/Error.h"
#include "platform/Logging.h"
#include "platform/Platform.h"
#include "platform/SetAndNotify.h"
#include "platform/Text.h"
#include "setup/engine/CancellationFlag.h"
#include "setup/engine/PreferenceSteps.h"
#include "setup/engine/RunContext.h"
#include "setup/engine/SetupChecks.h"
#include "setup/engine/ShellSteps.h"
#include "setup/engine/SystemToolSteps.h"

#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString hasSeenWizardKey = u"hasSeenWizard"_s;
constexpr qsizetype failureLogTail = 12000;

QCoro::Task<> runStep(
    SetupComponent component, RunContext &context, SetupConfig config, std::optional<QString> brewPath)
{
    switch (component) {
    case SetupComponent::xcode:
        co_await SystemToolSteps::installCommandLineTools(context);
        break;
    case SetupComponent::rosetta:
        co_await SystemToolSteps::installRosetta(context);
        break;
    case SetupComponent::iterm2:
        co_await SystemToolSteps::installITerm(context, brewPath);
        break;
    case SetupComponent::ohMyZsh:
        co_await ShellSteps::installOhMyZsh(context, config);
        break;
    case SetupComponent::powerlevel10k:
        co_await ShellSteps::installPowerlevel10k(context, config);
        break;
    case SetupComponent::shell:
        ShellSteps::applyShellBlocks(context, config);
        break;
    case SetupComponent::macOS:
        co_await PreferenceSteps::applyMacOSDefaults(context, config);
        break;
    case SetupComponent::git:
        co_await PreferenceSteps::applyGit(context, config);
        break;
    case SetupComponent::ssh:
        co_await PreferenceSteps::createSSHKey(context, config);
        break;
    }
}

} // namespace

// One per run. It outlives the store when the store is released in the middle of a step: the
// step then finishes writing into nothing and the run stops before the next one.
class StoreRunContext : public RunContext {
public:
    explicit StoreRunContext(SetupStore *store)
        : m_store(store)
    {
    }

    void appendLog(const QString &text) override
    {
        if (m_store)
            m_store->appendLog(text);
    }
    CancellationFlag &cancellation() override { return m_cancellation; }

private:
    QPointer<SetupStore> m_store;
    CancellationFlag m_cancellation;
};

SetupStore::SetupStore(ActivityStore *activity, QObject *parent)
    : QObject(parent)
    , m_activity(activity)
    , m_config(SetupConfig::load())
    , m_hasSeenWizard(Platform::current().boolDefault(hasSeenWizardKey).value_or(false))
{
    connect(&m_log, &BoundedLog::appended, this, [this](const QString &text) {
        Q_EMIT logAppended(text);
        Q_EMIT logChanged();
    });
    connect(&m_log, &BoundedLog::reset, this, [this] {
        Q_EMIT logReset();
        Q_EMIT logChanged();
    });
}

SetupStore::~SetupStore()
{
    // A run waiting for the Command Line Tools would otherwise poll on for half an hour.
    if (m_run)
        m_run->cancellation().cancel();
}

void SetupStore::setConfig(const SetupConfig &config)
{
    const bool changed = !(config == m_config);
    m_config = config;
    // A run reports its own outcome; otherwise the status bar says why the settings were not kept.
    if (const std::optional<QString> problem = m_config.save(); problem && m_activity && !m_isApplying) {
        m_activity->cancelFade();
        m_activity->setPhase(ActivityStore::Phase::failure(u"Settings not saved"_s, *problem));
    }
    if (changed)
        Q_EMIT configChanged();
}

StepState SetupStore::state(SetupComponent component) const
{
    return m_states.value(component, StepState::unknown());
}

void SetupStore::setHasSeenWizard(bool seen)
{
    Platform::current().setBoolDefault(hasSeenWizardKey, seen);
    setAndNotify(this, m_hasSeenWizard, seen, &SetupStore::hasSeenWizardChanged);
}

void SetupStore::setIsChecking(bool checking)
{
    setAndNotify(this, m_isChecking, checking, &SetupStore::isCheckingChanged);
}

void SetupStore::setIsApplying(bool applying)
{
    setAndNotify(this, m_isApplying, applying, &SetupStore::isApplyingChanged);
}

void SetupStore::setRefreshQueued(bool queued)
{
    setAndNotify(this, m_refreshQueued, queued, &SetupStore::refreshQueuedChanged);
}

void SetupStore::setResult(SetupComponent component, const ApplyResult &result)
{
    m_results.insert(component, result);
    Q_EMIT resultsChanged();
}

void SetupStore::appendLog(const QString &text)
{
    m_log.append(text);
}

QCoro::Task<> SetupStore::refresh()
{
    if (m_isApplying)
        co_return;
    if (m_isChecking) {
        setRefreshQueued(true);
        co_return;
    }
    QPointer<SetupStore> self(this);
    setIsChecking(true);
    setRefreshQueued(false);
    co_await checkAll();
    if (!self)
        co_return;
    while (m_refreshQueued && !m_isApplying) {
        setRefreshQueued(false);
        co_await checkAll();
        if (!self)
            co_return;
    }
    setIsChecking(false);
}

QCoro::Task<> SetupStore::checkAll()
{
    QPointer<SetupStore> self(this);
    const SetupConfig snapshot = m_config;
    const QList<SetupComponent> components = allSetupComponents();
    // Tasks start at once, so the nine checks run side by side; their results are merged here.
    std::vector<QCoro::Task<StepState>> checks;
    for (const SetupComponent component : components)
        checks.push_back(SetupChecks::checkStatus(component, snapshot));
    QHash<SetupComponent, StepState> states;
    for (qsizetype i = 0; i < components.size(); ++i) {
        try {
            states.insert(components[i], co_await std::move(checks[size_t(i)]));
        } catch (const std::exception &error) {
            // Checks map every failure to a state; an escaped one leaves the component unknown.
            qCWarning(lcSetup) << "checking" << toString(components[i]) << "failed:" << errorText(error);
            states.insert(components[i], StepState::unknown());
        }
    }
    if (!self)
        co_return;
    if (m_config == snapshot) {
        m_states = states;
        Q_EMIT statesChanged();
    } else {
        // The settings changed while the check ran: its states may be stale.
        setRefreshQueued(true);
    }
}

void SetupStore::apply(const QList<SetupComponent> &components, const std::optional<QString> &brewPath,
    const std::optional<SetupConfig> &configuration)
{
    if (m_isApplying)
        return;
    QList<SetupComponent> order;
    for (const SetupComponent component : allSetupComponents()) {
        if (components.contains(component))
            order.append(component);
    }
    m_applyOrder = order;
    Q_EMIT applyOrderChanged();
    m_results.clear();
    for (const SetupComponent component : std::as_const(order))
        m_results.insert(component, ApplyResult::pending());
    Q_EMIT resultsChanged();
    m_log.clear();
    setIsApplying(true);
    if (m_activity)
        m_activity->begin(u"Setting up your Mac"_s, QString(), 0.0);
    m_run = std::make_shared<StoreRunContext>(this);
    m_applyTask.reset();
    m_applyTask.emplace(runApply(order, configuration.value_or(m_config), brewPath, m_run));
}

void SetupStore::cancelApply()
{
    if (m_run)
        m_run->cancellation().cancel();
}

QCoro::Task<> SetupStore::runApply(QList<SetupComponent> order, SetupConfig snapshot, std::optional<QString> brewPath,
    std::shared_ptr<StoreRunContext> context)
{
    QPointer<SetupStore> self(this);
    const qsizetype count = order.size();
    for (qsizetype j = 0; j < count; ++j) {
        if (!self)
            co_return;
        const SetupComponent component = order[j];
        if (context->cancellation().isCancelled()) {
            setResult(component, ApplyResult::failed(u"Cancelled"_s));
            continue;
        }
        setResult(component, ApplyResult::running());
        if (m_activity)
            m_activity->update(title(component), double(j) / double(count));
        appendLog(u"\n━━ "_s + title(component) + u" ━━\n"_s);

        std::optional<QString> failure;
        try {
            co_await runStep(component, *context, snapshot, brewPath);
        } catch (const std::exception &error) {
            failure = errorText(error);
        }
        if (!self)
            co_return;
        if (failure) {
            setResult(component, ApplyResult::failed(*failure));
            appendLog(u"✗ "_s + *failure + u'\n');
        } else {
            setResult(component, ApplyResult::succeeded());
            appendLog(u"✓ Done\n"_s);
        }
    }
    if (!self)
        co_return;
    finishRun();
    co_await refresh();
    if (!self)
        co_return;
    Q_EMIT applyFinished();
}

void SetupStore::finishRun()
{
    setIsApplying(false);
    QStringList failures;
    for (const SetupComponent component : std::as_const(m_applyOrder)) {
        const ApplyResult result = m_results.value(component);
        if (result.kind == ApplyResult::Kind::failed)
            failures.append(u"• "_s + title(component) + u": "_s + result.text);
    }
    if (!m_activity)
        return;
    if (failures.isEmpty()) {
        if (m_applyOrder.size() == 1)
            m_activity->succeed(title(m_applyOrder.first()) + u" done"_s);
        else
            m_activity->succeed(u"Setup finished — "_s + Text::counted(m_applyOrder.size(), u"step"_s, u"steps"_s));
        return;
    }
    const qsizetype k = failures.size();
    const QString heading = QString::number(k) + u" setup step"_s + (k == 1 ? QString() : u"s"_s) + u" failed"_s;
    const QString message = failures.join(u'\n') + u"\n\n── Log ──\n"_s + Text::tail(m_log.text(), failureLogTail);
    m_activity->cancelFade();
    m_activity->setPhase(ActivityStore::Phase::failure(heading, message));
}

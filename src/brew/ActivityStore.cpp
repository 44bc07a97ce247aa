#include "brew/ActivityStore.h"

#include "platform/Platform.h"
#include "platform/SetAndNotify.h"

using namespace Qt::StringLiterals;

ActivityStore::ActivityStore(QObject *parent)
    : QObject(parent)
{
    m_fade.setSingleShot(true);
    m_fade.setTimerType(Qt::PreciseTimer);
    connect(&m_fade, &QTimer::timeout, this, [this] {
        // Only a success is faded: a run, a failure or a newer success that replaced it stays.
        if (m_phase.kind == Phase::Kind::success)
            setPhase(Phase::idle());
    });
}

void ActivityStore::setPhase(const Phase &phase)
{
    setAndNotify(this, m_phase, phase, &ActivityStore::phaseChanged);
}

void ActivityStore::setTitle(const QString &title)
{
    setAndNotify(this, m_title, title, &ActivityStore::titleChanged);
}

void ActivityStore::setDetail(const QString &detail)
{
    setAndNotify(this, m_detail, detail, &ActivityStore::detailChanged);
}

void ActivityStore::setProgress(std::optional<double> progress)
{
    setAndNotify(this, m_progress, progress, &ActivityStore::progressChanged);
}

void ActivityStore::setCatalog(const CatalogState &state)
{
    setAndNotify(this, m_catalog, state, &ActivityStore::catalogChanged);
}

void ActivityStore::setCatalogRetry(std::function<void()> retry)
{
    m_catalogRetry = std::move(retry);
    Q_EMIT catalogRetryChanged();
}

void ActivityStore::setShowingError(bool showing)
{
    setAndNotify(this, m_showingError, showing, &ActivityStore::showingErrorChanged);
}

void ActivityStore::begin(const QString &title, const QString &detail, std::optional<double> progress)
{
    cancelFade();
    setTitle(title);
    setDetail(detail);
    setProgress(progress);
    setPhase(Phase::running());
}

void ActivityStore::update(const std::optional<QString> &detail, std::optional<double> progress)
{
    if (m_phase.kind != Phase::Kind::running)
        return;
    if (detail)
        setDetail(*detail);
    if (progress)
        setProgress(progress);
}

void ActivityStore::succeed(const QString &message)
{
    cancelFade();
    setPhase(Phase::success(message));
    m_fade.start(Platform::current().successFade());
}

void ActivityStore::cancelFade()
{
    m_fade.stop();
}

void ActivityStore::dismiss()
{
    cancelFade();
    if (m_phase.kind == Phase::Kind::failure || m_phase.kind == Phase::Kind::success)
        setPhase(Phase::idle());
    if (m_catalog.kind == CatalogState::Kind::failed)
        setCatalog(CatalogState::idle());
    setShowingError(false);
}

std::optional<ActivityStore::CurrentError> ActivityStore::currentError() const
{
    if (m_phase.kind == Phase::Kind::failure)
        return CurrentError{ m_phase.title, m_phase.message, {} };
    if (m_phase.kind == Phase::Kind::idle && m_catalog.kind == CatalogState::Kind::failed)
        return CurrentError{ u"Couldn't update the package catalog"_s, m_catalog.text, m_catalogRetry };
    return std::nullopt;
}

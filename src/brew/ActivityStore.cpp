#include "brew/ActivityStore.h"

#include "platform/Platform.h"

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
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged();
}

void ActivityStore::setTitle(const QString &title)
{
    if (m_title == title)
        return;
    m_title = title;
    Q_EMIT titleChanged();
}

void ActivityStore::setDetail(const QString &detail)
{
    if (m_detail == detail)
        return;
    m_detail = detail;
    Q_EMIT detailChanged();
}

void ActivityStore::setProgress(std::optional<double> progress)
{
    if (m_progress == progress)
        return;
    m_progress = progress;
    Q_EMIT progressChanged();
}

void ActivityStore::setCatalog(const CatalogState &state)
{
    if (m_catalog == state)
        return;
    m_catalog = state;
    Q_EMIT catalogChanged();
}

void ActivityStore::setCatalogRetry(std::function<void()> retry)
{
    m_catalogRetry = std::move(retry);
    Q_EMIT catalogRetryChanged();
}

void ActivityStore::setShowingError(bool showing)
{
    if (m_showingError == showing)
        return;
    m_showingError = showing;
    Q_EMIT showingErrorChanged();
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

#include "app/StartupTrace.h"

#include "brew/BrewStore.h"
#include "platform/Files.h"
#include "platform/Platform.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

std::optional<QElapsedTimer> &mainClock()
{
    static std::optional<QElapsedTimer> clock;
    return clock;
}

// VmRSS of this process in kB, or -1 where /proc is not there.
qint64 residentKB()
{
    const std::optional<QByteArray> status = Files::read(u"/proc/self/status"_s);
    if (!status)
        return -1;
    for (const QByteArray &line : status->split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

void StartupTrace::markMainEntered()
{
    QElapsedTimer clock;
    clock.start();
    mainClock() = clock;
}

void StartupTrace::watch(QWidget *window, BrewStore *store)
{
    const QString path = Platform::current().environment().value(u"QUILLRIG_STARTUP_TRACE"_s);
    if (path.isEmpty() || !window || !store)
        return;
    if (!mainClock())
        markMainEntered();
    new StartupTrace(window, store, path);
}

StartupTrace::StartupTrace(QWidget *window, BrewStore *store, QString path)
    : QObject(window)
    , m_store(store)
    , m_path(std::move(path))
{
    record(u"main "_s + QString::number(mainClock()->msecsSinceReference()));
    window->installEventFilter(this);
    connect(store, &BrewStore::catalogChanged, this, &StartupTrace::catalogChanged);
    // The store looks for the cached catalog straight after it finds brew.
    connect(store, &BrewStore::statusChanged, this, &StartupTrace::statusChanged);
}

void StartupTrace::statusChanged()
{
    if (m_readySeen || m_store->status() != BrewStatus::ready)
        return;
    m_readySeen = true;
    record(u"rss-before "_s + QString::number(residentKB()));
}

bool StartupTrace::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_windowSeen) {
        m_windowSeen = true;
        // Queued: the paint this event starts is done by the time it runs.
        QMetaObject::invokeMethod(this, &StartupTrace::recordWindow, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void StartupTrace::recordWindow()
{
    record(u"window "_s + QString::number(msSinceMain(), 'f', 1));
}

void StartupTrace::catalogChanged()
{
    if (m_searchableSeen || m_store->catalog().isEmpty())
        return;
    m_searchableSeen = true;
    // Queued behind what the views do with the new catalog.
    QTimer::singleShot(0, this, [this] {
        record(u"searchable "_s + QString::number(msSinceMain(), 'f', 1));
        record(u"rss-after "_s + QString::number(residentKB()));
    });
}

double StartupTrace::msSinceMain() const
{
    return double(mainClock()->nsecsElapsed()) / 1e6;
}

void StartupTrace::record(const QString &line)
{
    try {
        const QByteArray before = Files::read(m_path).value_or(QByteArray());
        Files::writeAtomically(m_path, before + line.toUtf8() + '\n');
    } catch (const std::exception &) {
        // A trace that cannot be written changes nothing about the start.
    }
}

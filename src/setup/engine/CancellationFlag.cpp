#include "setup/engine/CancellationFlag.h"

#include "platform/Error.h"

#include <QCoro/QCoroTimer>
#include <QPointer>
#include <QTimer>

void CancellationFlag::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    Q_EMIT cancelled();
}

QCoro::Task<> CancellationFlag::sleep(std::chrono::milliseconds duration)
{
    if (m_cancelled)
        throw CancelledError();
    QPointer<CancellationFlag> self(this);
    QTimer timer;
    // A coarse timer may fire up to 5 % early; the poll promises the full interval.
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    // Cancelling re-arms the timer to fire on the next turn of the event loop, which ends the
    // wait at once without a second thing to await.
    // The connection dies with the timer.
    connect(this, &CancellationFlag::cancelled, &timer, [&timer] { timer.start(0); });
    timer.start(duration);
    co_await timer;
    if (!self || self->m_cancelled)
        throw CancelledError();
}

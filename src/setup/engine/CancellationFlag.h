#pragma once

#include <QCoro/QCoroTask>
#include <QObject>

#include <chrono>

// Set once when the user cancels an apply run. Steps look at it after their awaits; the one wait
// that must end at once (the Command Line Tools poll) listens to the signal instead.
class CancellationFlag : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    bool isCancelled() const { return m_cancelled; }
    // Idempotent: the signal is emitted the first time only.
    void cancel();

    // Sleeps for `duration` on the monotonic clock, or less when the flag is set meanwhile.
    // Throws CancelledError when the flag is (or becomes) set.
    QCoro::Task<> sleep(std::chrono::milliseconds duration);

Q_SIGNALS:
    void cancelled();

private:
    bool m_cancelled = false;
};

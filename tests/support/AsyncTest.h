#pragma once

#include "platform/Error.h"

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QString>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace quillrig::test {

// What became of a coroutine run by runTask(): its value, or why there is none.
template<typename T> struct TaskOutcome {
    std::optional<T> value;
    QString failure; // the thrown error's description, or the time-out
    bool threw = false;
    bool timedOut = false;

    bool ok() const { return !threw && !timedOut; }
};

template<> struct TaskOutcome<void> {
    QString failure;
    bool threw = false;
    bool timedOut = false;

    bool ok() const { return !threw && !timedOut; }
};

namespace detail {

template<typename T> struct RunState {
    TaskOutcome<T> outcome;
    bool done = false;
    QEventLoop *loop = nullptr;
};

// Holds its state by shared pointer: a task that outlives its watchdog must not write into a
// finished test's stack.
template<typename T> QCoro::Task<void> drive(QCoro::Task<T> task, std::shared_ptr<RunState<T>> state)
{
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            state->outcome.value = co_await std::move(task);
    } catch (const Error &error) {
        state->outcome.threw = true;
        state->outcome.failure = error.description();
    } catch (const std::exception &error) {
        state->outcome.threw = true;
        state->outcome.failure = QString::fromUtf8(error.what());
    } catch (...) {
        state->outcome.threw = true;
        state->outcome.failure = QStringLiteral("unknown exception");
    }
    state->done = true;
    if (state->loop)
        state->loop->quit();
}

} // namespace detail

// Runs a coroutine under an event loop until it finishes or the watchdog fires. Never hangs a
// test: a coroutine that does not finish in time reports timedOut.
template<typename T>
TaskOutcome<T> runTask(QCoro::Task<T> task, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    auto state = std::make_shared<detail::RunState<T>>();
    QEventLoop loop;
    state->loop = &loop;
    auto driver = detail::drive<T>(std::move(task), state);
    if (!state->done) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, &loop, &QEventLoop::quit);
        watchdog.start(timeout);
        loop.exec();
    }
    state->loop = nullptr;
    if (!state->done) {
        state->outcome.timedOut = true;
        state->outcome.failure = QStringLiteral("timed out after %1 ms").arg(timeout.count());
    }
    return state->outcome;
}

// Spins the event loop until `condition` holds or the time is up.
template<typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    return QTest::qWaitFor(condition, int(timeout.count()));
}

} // namespace quillrig::test

// Awaits a task in a test function; a throw or a time-out fails the test with its reason.
#define QR_AWAIT(var, expr)                                                                                            \
    auto var##Outcome = ::quillrig::test::runTask(expr);                                                               \
    QVERIFY2(var##Outcome.ok(), qPrintable(var##Outcome.failure));                                                     \
    auto &var = *var##Outcome.value

#define QR_AWAIT_VOID(expr)                                                                                            \
    do {                                                                                                               \
        auto outcome_ = ::quillrig::test::runTask(expr);                                                               \
        QVERIFY2(outcome_.ok(), qPrintable(outcome_.failure));                                                         \
    } while (false)

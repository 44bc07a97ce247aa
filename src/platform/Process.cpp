#include "platform/Process.h"

#include "platform/ChildEnvironment.h"
#include "platform/Error.h"
#include "platform/Platform.h"

#include <QCoro/QCoroFuture>
#include <QProcess>
#include <QtConcurrentRun>

#include <coroutine>
#include <exception>
#include <memory>

namespace Process {

namespace {

// Where the incomplete UTF-8 sequence at the end of `bytes` begins, or bytes.size() when the
// bytes end on a character boundary (or on something no later byte could complete).
qsizetype incompleteTail(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        qsizetype length = 0;
        if (byte >= 0xC2 && byte <= 0xDF)
            length = 2;
        else if (byte >= 0xE0 && byte <= 0xEF)
            length = 3;
        else if (byte >= 0xF0 && byte <= 0xF4)
            length = 4;
        return length > back ? size - back : size;
    }
    return size;
}

// Decodes one stream chunk by chunk. A read can end in the middle of a character; decoding each
// chunk on its own would turn both halves into U+FFFD, so the cut-off bytes wait for the next
// chunk. Bytes that are invalid in any context still become U+FFFD.
class Utf8Stream {
public:
    QString decode(const QByteArray &chunk)
    {
        if (m_pending.isEmpty())
            return take(chunk);
        QByteArray joined = m_pending + chunk;
        m_pending.clear();
        return take(joined);
    }

    // At the end of the stream a cut-off character can no longer be completed.
    QString finish()
    {
        QString rest = QString::fromUtf8(m_pending);
        m_pending.clear();
        return rest;
    }

private:
    QString take(const QByteArray &bytes)
    {
        const qsizetype cut = incompleteTail(bytes);
        if (cut < bytes.size())
            m_pending = bytes.sliced(cut);
        return QString::fromUtf8(QByteArrayView(bytes).first(cut));
    }

    QByteArray m_pending;
};

struct DeleteLater {
    void operator()(QObject *object) const { object->deleteLater(); }
};

// One child process and everything collected from it. Lives in exec()'s coroutine frame, so all
// of it belongs to the caller's thread; QProcess delivers its signals there.
class Run {
public:
    explicit Run(OutputHandler onOutput)
        : m_onOutput(std::move(onOutput))
    {
        QObject::connect(m_process.get(), &QProcess::readyReadStandardOutput, m_process.get(), [this] { pump(); });
        QObject::connect(m_process.get(), &QProcess::readyReadStandardError, m_process.get(), [this] { pump(); });
        QObject::connect(m_process.get(), &QProcess::finished, m_process.get(),
            [this](int exitCode, QProcess::ExitStatus exitStatus) { onFinished(exitCode, exitStatus); });
        QObject::connect(
            m_process.get(), &QProcess::errorOccurred, m_process.get(), [this](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    m_launchError = m_process->errorString();
                    complete();
                }
            });
    }

    ~Run() { QObject::disconnect(m_process.get(), nullptr, m_process.get(), nullptr); }

    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    void start(const QString &executable, const QStringList &arguments, const QProcessEnvironment &environment)
    {
        m_process->setProgram(executable);
        m_process->setArguments(arguments);
        m_process->setProcessEnvironment(environment);
        m_process->setStandardInputFile(QProcess::nullDevice());
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        m_process->start(QIODevice::ReadOnly);
    }

    // Suspends the caller until the child has exited or failed to start.
    auto done()
    {
        struct Awaiter {
            Run *run;
            bool await_ready() const noexcept { return run->m_done; }
            void await_suspend(std::coroutine_handle<> handle) noexcept { run->m_waiter = handle; }
            void await_resume() const noexcept { }
        };
        return Awaiter{ this };
    }

    const std::optional<QString> &launchError() const { return m_launchError; }
    std::exception_ptr handlerError() const { return m_handlerError; }
    qint32 status() const { return m_status; }
    const QByteArray &standardOutput() const { return m_stdout; }

private:
    // Reads whatever both pipes hold. A handler that spins an event loop re-enters here through
    // readyRead or finished; the outer call then picks up that data and the exit, so the handler
    // is never entered twice and the caller never resumes under a running handler.
    void pump()
    {
        if (m_pumping)
            return;
        m_pumping = true;
        for (;;) {
            const QByteArray out = m_process->readAllStandardOutput();
            if (!out.isEmpty()) {
                m_stdout.append(out);
                deliver(m_stdoutText.decode(out));
            }
            const QByteArray err = m_process->readAllStandardError();
            if (!err.isEmpty())
                deliver(m_stderrText.decode(err));
            if (out.isEmpty() && err.isEmpty())
                break;
        }
        if (m_exited) {
            deliver(m_stdoutText.finish());
            deliver(m_stderrText.finish());
        }
        m_pumping = false;
        if (m_exited)
            complete();
    }

    void deliver(const QString &text)
    {
        if (text.isEmpty() || !m_onOutput || m_handlerError)
            return;
        try {
            m_onOutput(text);
        } catch (...) {
            m_handlerError = std::current_exception();
        }
    }

    void onFinished(int exitCode, QProcess::ExitStatus /*exitStatus*/)
    {
        // On a crash QProcess reports the signal number as the exit code; it is kept as the
        // status, as the operating system reports it. A signal number is never 0, so a killed
        // child still reads as a failure.
        m_status = exitCode;
        m_exited = true;
        // QProcess drains both pipes before it reports the exit, but a busy handler may have
        // left the last bytes unread.
        pump();
    }

    void complete()
    {
        if (m_done)
            return;
        m_done = true;
        if (m_waiter) {
            // Resuming from inside a QProcess signal would let the caller destroy the process
            // while it is still emitting; resume from the event loop instead.
            QMetaObject::invokeMethod(
                m_process.get(), [handle = m_waiter] { handle.resume(); }, Qt::QueuedConnection);
        }
    }

    OutputHandler m_onOutput;
    QByteArray m_stdout;
    Utf8Stream m_stdoutText;
    Utf8Stream m_stderrText;
    bool m_pumping = false;
    bool m_exited = false;
    bool m_done = false;
    std::coroutine_handle<> m_waiter;
    qint32 m_status = 0;
    std::optional<QString> m_launchError;
    std::exception_ptr m_handlerError;
    // The caller resumes (and this frame ends) inside an event delivered to the process, so the
    // process must outlive the frame until that event is over.
    std::unique_ptr<QProcess, DeleteLater> m_process{ new QProcess };
};

} // namespace

QCoro::Task<Result> exec(
    QString executable, QStringList arguments, std::optional<QProcessEnvironment> environment, OutputHandler onOutput)
{
    const QProcessEnvironment childEnvironment
        = ChildEnvironment::withoutTerminal(environment ? *environment : Platform::current().environment());

    Run run(std::move(onOutput));
    run.start(executable, arguments, childEnvironment);
    co_await run.done();

    if (run.launchError())
        throw LaunchError(executable, *run.launchError());
    if (run.handlerError())
        std::rethrow_exception(run.handlerError());
    // Decoding megabytes of output would stall the window; small outputs are not worth a thread.
    constexpr qsizetype decodeInBackgroundFrom = 256 * 1024;
    const QByteArray bytes = run.standardOutput();
    const qint32 status = run.status();
    if (bytes.size() < decodeInBackgroundFrom)
        co_return Result{ status, QString::fromUtf8(bytes) };
    const auto decode = [bytes] { return QString::fromUtf8(bytes); }; // named: see the GCC note in README
    QFuture<QString> decoded = QtConcurrent::run(decode);
    QString output = co_await decoded;
    co_return Result{ status, std::move(output) };
}

} // namespace Process

#include "ui/Async.h"

#include "platform/Error.h"

#include <QLoggingCategory>

#include <exception>

namespace {

Q_LOGGING_CATEGORY(lcAsync, "quillrig.async")

QCoro::Task<> guarded(QCoro::Task<> task, const char *what)
{
    try {
        co_await std::move(task);
    } catch (const Error &error) {
        qCWarning(lcAsync) << what << "failed:" << error.description();
    } catch (const std::exception &error) {
        qCWarning(lcAsync) << what << "failed:" << error.what();
    } catch (...) {
        qCWarning(lcAsync) << what << "failed";
    }
}

} // namespace

namespace Async {

void start(QCoro::Task<> task, const char *what)
{
    // The wrapper owns the task; dropping the wrapper's own handle is what detaches it.
    auto detached = guarded(std::move(task), what);
    Q_UNUSED(detached);
}

} // namespace Async

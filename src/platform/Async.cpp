#include "platform/Async.h"

#include "platform/Error.h"
#include "platform/Logging.h"

#include <exception>

namespace {

QCoro::Task<> guarded(QCoro::Task<> task, const char *what)
{
    try {
        co_await std::move(task);
    } catch (const std::exception &error) {
        qCWarning(lcUi) << what << "failed:" << errorText(error);
    } catch (...) {
        qCWarning(lcUi) << what << "failed";
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

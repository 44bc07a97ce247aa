#include "brew/BrewService.h"

#include "platform/ChildEnvironment.h"

namespace BrewService {

QCoro::Task<Process::Result> runBrew(QStringList arguments, QString brewPath, Process::OutputHandler onOutput)
{
    // Named before the co_await: GCC 12 mishandles temporaries made inside one.
    std::optional<QProcessEnvironment> environment = ChildEnvironment::homebrew(brewPath);
    co_return co_await Process::exec(
        std::move(brewPath), std::move(arguments), std::move(environment), std::move(onOutput));
}

} // namespace BrewService

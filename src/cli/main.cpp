#include "cli/Cli.h"
#include "setup/engine/CancellationFlag.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

// Only async-signal-safe work here: the event loop picks the byte up.
void onInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillrig-cli"));

    // Ctrl+C cancels like the wizard's Cancel: the running step ends at its next cancellation
    // point. A second Ctrl+C ends the process at once.
    CancellationFlag interrupt;
    std::optional<QSocketNotifier> notifier;
    if (::pipe(signalPipe) == 0) {
        ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
        notifier.emplace(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&*notifier, &QSocketNotifier::activated, &interrupt, [&interrupt] {
            char byte;
            [[maybe_unused]] const ssize_t count = ::read(signalPipe[0], &byte, 1);
            if (interrupt.isCancelled()) {
                std::signal(SIGINT, SIG_DFL);
                std::raise(SIGINT);
                return;
            }
            interrupt.cancel();
        });
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
    }

    std::vector<std::string> arguments(argv + 1, argv + argc);
    CliStreams io{ std::cin, std::cout, std::cerr, bool(::isatty(STDIN_FILENO)), bool(::isatty(STDOUT_FILENO)),
        bool(::isatty(STDERR_FILENO)), &interrupt };
    // Commands other than apply have nothing to cancel gracefully: Ctrl+C ends them.
    QObject::connect(&interrupt, &CancellationFlag::cancelled, &interrupt, [] {
        if (!QCoreApplication::arguments().contains(QStringLiteral("apply"))) {
            std::cout.flush();
            std::_Exit(130);
        }
    });
    return Cli::run(arguments, io);
}

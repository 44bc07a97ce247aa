#pragma once

#include "setup/engine/SetupComponent.h"

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <exception>
#include <iosfwd>
#include <optional>

class CancellationFlag;

// What the command-line tool is given by its process: the three streams, whether each is a
// terminal, and the flag that Ctrl+C sets. Tests give string streams and no terminal.
struct CliStreams {
    std::istream &in;
    std::ostream &out;
    std::ostream &err;
    bool inIsTerminal = false;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
    // Set once when the user presses Ctrl+C; may be null.
    CancellationFlag *interrupt = nullptr;
};

// Exit statuses shared by every command.
namespace CliExit {
inline constexpr int ok = 0;
inline constexpr int failed = 1;
inline constexpr int usage = 2;
inline constexpr int interrupted = 130;
} // namespace CliExit

// Usage problems found after parsing (an unknown component, a bad --config file): the message is
// the one line printed before the pointer to --help.
class CliUsageError : public std::exception {
public:
    explicit CliUsageError(QString message)
        : m_message(std::move(message))
    {
    }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return "usage error"; }

private:
    QString m_message;
};

namespace CliSupport {

// ANSI colours, used only on a terminal and never with NO_COLOR set.
enum class Colour { none, bold, dim, red, green, yellow, cyan };
bool useColour(bool isTerminal);
QString paint(const QString &text, Colour colour, bool enabled);

void write(std::ostream &stream, const QString &text);
void writeLine(std::ostream &stream, const QString &text = {});
void writeJson(std::ostream &stream, const QJsonDocument &document);
// "quillrig-cli: <message>" on standard error.
void error(const CliStreams &io, const QString &message);

// The short names used on the command line: clt, rosetta, iterm2, ohmyzsh, p10k, shell, macos,
// git, ssh.
QString componentName(SetupComponent component);
QStringList componentNames();
// All nine when `names` is empty. Throws CliUsageError for an unknown name.
QList<SetupComponent> parseComponents(const QStringList &names);

// Runs `task` to its end in a nested event loop and returns its value or rethrows its error.
template<typename T> T runToEnd(QCoro::Task<T> task);
void runToEnd(QCoro::Task<> task);

} // namespace CliSupport

namespace CliSupport::detail {

template<typename T>
QCoro::Task<> drive(
    QCoro::Task<T> task, std::optional<T> *value, std::exception_ptr *error, QEventLoop *loop, bool *done)
{
    try {
        value->emplace(co_await std::move(task));
    } catch (...) {
        *error = std::current_exception();
    }
    *done = true;
    loop->quit();
}

} // namespace CliSupport::detail

template<typename T> T CliSupport::runToEnd(QCoro::Task<T> task)
{
    QEventLoop loop;
    std::optional<T> value;
    std::exception_ptr error;
    bool done = false;
    QCoro::Task<> driver = detail::drive(std::move(task), &value, &error, &loop, &done);
    if (!done)
        loop.exec();
    if (error)
        std::rethrow_exception(error);
    return std::move(*value);
}

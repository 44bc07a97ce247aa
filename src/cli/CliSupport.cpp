#include "cli/CliSupport.h"

#include "platform/Platform.h"

#include <ostream>

using namespace Qt::StringLiterals;

namespace CliSupport {

bool useColour(bool isTerminal)
{
    // https://no-color.org: present and not empty.
    return isTerminal && Platform::current().environment().value(u"NO_COLOR"_s).isEmpty();
}

QString paint(const QString &text, Colour colour, bool enabled)
{
    if (!enabled || colour == Colour::none)
        return text;
    const char *code = "";
    switch (colour) {
    case Colour::none:
        break;
    case Colour::bold:
        code = "1";
        break;
    case Colour::dim:
        code = "2";
        break;
    case Colour::red:
        code = "31";
        break;
    case Colour::green:
        code = "32";
        break;
    case Colour::yellow:
        code = "33";
        break;
    case Colour::cyan:
        code = "36";
        break;
    }
    return u"\x1b["_s + QLatin1StringView(code) + u'm' + text + u"\x1b[0m"_s;
}

void write(std::ostream &stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    stream.write(bytes.constData(), bytes.size());
    stream.flush();
}

void writeLine(std::ostream &stream, const QString &text)
{
    write(stream, text + u'\n');
}

void writeJson(std::ostream &stream, const QJsonDocument &document)
{
    const QByteArray bytes = document.toJson(QJsonDocument::Indented);
    stream.write(bytes.constData(), bytes.size());
    stream.flush();
}

void error(const CliStreams &io, const QString &message)
{
    writeLine(io.err, paint(u"quillrig-cli: "_s, Colour::red, useColour(io.errIsTerminal)) + message);
}

namespace {

struct Name {
    SetupComponent component;
    const char16_t *name;
};

constexpr Name names[] = {
    { SetupComponent::xcode, u"clt" },
    { SetupComponent::rosetta, u"rosetta" },
    { SetupComponent::iterm2, u"iterm2" },
    { SetupComponent::ohMyZsh, u"ohmyzsh" },
    { SetupComponent::powerlevel10k, u"p10k" },
    { SetupComponent::shell, u"shell" },
    { SetupComponent::macOS, u"macos" },
    { SetupComponent::git, u"git" },
    { SetupComponent::ssh, u"ssh" },
};

} // namespace

QString componentName(SetupComponent component)
{
    for (const Name &name : names) {
        if (name.component == component)
            return QString::fromUtf16(name.name);
    }
    return {};
}

QStringList componentNames()
{
    QStringList list;
    for (const Name &name : names)
        list.append(QString::fromUtf16(name.name));
    return list;
}

QList<SetupComponent> parseComponents(const QStringList &given)
{
    if (given.isEmpty())
        return allSetupComponents();
    QList<SetupComponent> components;
    for (const QString &text : given) {
        const QString wanted = text.toLower();
        bool found = false;
        for (const Name &name : names) {
            if (wanted == QString::fromUtf16(name.name)) {
                components.append(name.component);
                found = true;
            }
        }
        if (!found)
            throw CliUsageError(
                u"unknown component “"_s + text + u"” (valid: "_s + componentNames().join(u", "_s) + u')');
    }
    return components;
}

namespace {

QCoro::Task<int> asValue(QCoro::Task<> task)
{
    co_await std::move(task);
    co_return 0;
}

} // namespace

void runToEnd(QCoro::Task<> task)
{
    runToEnd(asValue(std::move(task)));
}

} // namespace CliSupport

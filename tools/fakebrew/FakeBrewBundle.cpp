#include "FakeBrewBundle.h"

#include "FakeBrewServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace fakebrew {

namespace {

const QStringList defaultTaps{ u"homebrew/core"_s, u"homebrew/cask"_s };

// How `brew bundle check` names the packages of each extension.
QString extensionLabel(const QString &type)
{
    static const QHash<QString, QString> labels{
        { u"vscode"_s, u"VSCode Extension"_s },
        { u"go"_s, u"Go Package"_s },
        { u"cargo"_s, u"Cargo Package"_s },
        { u"uv"_s, u"uv Tool"_s },
        { u"flatpak"_s, u"Flatpak"_s },
        { u"winget"_s, u"Winget Package"_s },
    };
    return labels.value(type, type);
}

QString shortName(const QString &name)
{
    return name.section(u'/', -1);
}

} // namespace

FakeBrewBundle::FakeBrewBundle(
    FakeBrewState &state, Console &console, QString home, QProcessEnvironment environment, Installer installer)
    : m_state(state)
    , m_console(console)
    , m_home(std::move(home))
    , m_environment(std::move(environment))
    , m_installer(std::move(installer))
{
}

int FakeBrewBundle::run(const QStringList &arguments)
{
    static const QStringList subcommands{ u"install"_s, u"dump"_s, u"check"_s };
    static const QStringList flags{ u"--force"_s, u"--describe"_s, u"--no-describe"_s, u"--verbose"_s, u"-v"_s,
        u"--no-upgrade"_s, u"--no-restart"_s, u"--global"_s, u"--quiet"_s, u"-q"_s, u"--debug"_s, u"-d"_s,
        u"--no-lock"_s, u"--jobs"_s };
    Options options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--file"_s) {
            if (i + 1 >= arguments.size()) {
                m_console.err(u"Error: Invalid usage: missing argument: --file"_s);
                return 1;
            }
            options.file = arguments.at(++i);
        } else if (argument.startsWith(u"--file="_s)) {
            options.file = argument.mid(7);
        } else if (argument.startsWith(u'-')) {
            const QString flag = argument.section(u'=', 0, 0);
            if (!flags.contains(flag)) {
                m_console.err(u"Error: invalid option: "_s + argument);
                return 1;
            }
            options.flags.insert(flag == u"-v"_s ? u"--verbose"_s : flag);
        } else if (options.subcommand.isEmpty() && subcommands.contains(argument)) {
            options.subcommand = argument;
        } else {
            m_console.err(u"Error: Invalid usage: unknown subcommand: "_s + argument);
            return 1;
        }
    }
    options.global = options.flags.contains(u"--global"_s);
    if (options.subcommand == u"dump"_s)
        return dump(options);
    if (options.subcommand == u"check"_s)
        return check(options);
    return install(options);
}

QString FakeBrewBundle::brewfilePath(const Options &options) const
{
    if (options.file == u"-"_s)
        return options.file;
    QString path = options.file;
    if (path.isEmpty() && options.global) {
        path = m_environment.value(u"HOMEBREW_BUNDLE_FILE_GLOBAL"_s);
        if (path.isEmpty())
            path = m_home + u"/.Brewfile"_s;
    }
    if (path.isEmpty())
        path = m_environment.value(u"HOMEBREW_BUNDLE_FILE"_s, u"Brewfile"_s);
    if (path.startsWith(u"~/"_s))
        path = m_home + path.mid(1);
    return QFileInfo(path).absoluteFilePath();
}

std::optional<QList<Brewfile::Entry>> FakeBrewBundle::read(const Options &options)
{
    const QString path = brewfilePath(options);
    QByteArray text;
    if (path == u"-"_s) {
        QFile input;
        if (input.open(stdin, QIODevice::ReadOnly))
            text = input.readAll();
    } else {
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
            m_console.err(u"Error: No Brewfile found"_s);
            return std::nullopt;
        }
        text = file.readAll();
    }
    const Brewfile::Parsed parsed = Brewfile::parse(QString::fromUtf8(text));
    if (!parsed.error.isEmpty()) {
        m_console.err(u"Error: Invalid Brewfile: "_s + parsed.error);
        return std::nullopt;
    }
    return parsed.entries;
}

bool FakeBrewBundle::isSatisfied(const Brewfile::Entry &entry, bool noUpgrade) const
{
    if (entry.type == u"tap"_s)
        return defaultTaps.contains(entry.name) || m_state.taps.contains(entry.name);
    if (entry.type == u"brew"_s || entry.type == u"cask"_s) {
        const Kind kind = entry.type == u"brew"_s ? Kind::formula : Kind::cask;
        const FakeBrewState::Package *package = m_state.find(kind, shortName(entry.name));
        if (!package || !package->isInstalled())
            return false;
        // Casks that update themselves are never "outdated" for the bundle.
        return noUpgrade || !package->isOutdated() || (kind == Kind::cask && package->autoUpdates);
    }
    if (entry.type == u"mas"_s)
        return std::any_of(m_state.masApps.cbegin(), m_state.masApps.cend(),
            [&](const FakeBrewState::MasApp &app) { return app.id == entry.masId; });
    return m_state.extensions.contains(FakeBrewState::Extension{ entry.type, entry.name });
}

bool FakeBrewBundle::needsFetch(const Brewfile::Entry &entry, bool noUpgrade) const
{
    if (entry.type != u"brew"_s && entry.type != u"cask"_s)
        return false;
    const FakeBrewState::Package *package
        = m_state.find(entry.type == u"brew"_s ? Kind::formula : Kind::cask, shortName(entry.name));
    return package && package->inCatalog && !isSatisfied(entry, noUpgrade);
}

QStringList FakeBrewBundle::problems(const QList<Brewfile::Entry> &entries, bool noUpgrade) const
{
    const QString installed = noUpgrade ? u"needs to be installed."_s : u"needs to be installed or updated."_s;
    QStringList taps, casks, extensions, apps, formulae, services;
    for (const Brewfile::Entry &entry : entries) {
        if (entry.type == u"brew"_s && Brewfile::wantsService(entry)) {
            const FakeBrewState::Service *service = const_cast<FakeBrewState &>(m_state).service(shortName(entry.name));
            if (service && service->status != u"started"_s && service->status != u"scheduled"_s)
                services.append(u"Service %1 needs to be started."_s.arg(entry.name));
        }
        if (isSatisfied(entry, noUpgrade))
            continue;
        if (entry.type == u"tap"_s)
            taps.append(u"Tap %1 needs to be tapped."_s.arg(entry.name));
        else if (entry.type == u"cask"_s)
            casks.append(u"Cask %1 %2"_s.arg(entry.name, installed));
        else if (entry.type == u"brew"_s)
            formulae.append(u"Formula %1 %2"_s.arg(entry.name, installed));
        else if (entry.type == u"mas"_s)
            apps.append(u"App %1 %2"_s.arg(entry.name, installed));
        else
            extensions.append(u"%1 %2 needs to be installed."_s.arg(extensionLabel(entry.type), entry.name));
    }
    return taps + casks + extensions + apps + formulae + services;
}

int FakeBrewBundle::check(const Options &options)
{
    const std::optional<QList<Brewfile::Entry>> entries = read(options);
    if (!entries)
        return 1;
    const QStringList reasons = problems(*entries, options.flags.contains(u"--no-upgrade"_s));
    if (reasons.isEmpty()) {
        m_console.out(u"The Brewfile's dependencies are satisfied."_s);
        return 0;
    }
    QStringList lines{ u"brew bundle can't satisfy your Brewfile's dependencies."_s };
    if (options.flags.contains(u"--verbose"_s)) {
        for (const QString &reason : reasons)
            lines.append(u"→ "_s + reason);
    } else if (m_state.versionAtLeast(u"5.1.12"_s)) {
        lines.append(u"Run `brew bundle check --verbose` to list unmet dependencies."_s);
    }
    lines.append(u"Satisfy missing dependencies with `brew bundle install`."_s);
    // Since 6.0.10 the failure goes to standard error.
    const bool toError = m_state.versionAtLeast(u"6.0.10"_s);
    for (const QString &line : std::as_const(lines))
        toError ? m_console.err(line) : m_console.out(line);
    return 1;
}

int FakeBrewBundle::install(const Options &options)
{
    const std::optional<QList<Brewfile::Entry>> entries = read(options);
    if (!entries)
        return 1;
    const bool noUpgrade = options.flags.contains(u"--no-upgrade"_s);
    if (m_state.versionAtLeast(u"5.0.8"_s)) {
        QStringList fetching;
        for (const Brewfile::Entry &entry : *entries)
            if (needsFetch(entry, noUpgrade) && !fetching.contains(entry.name))
                fetching.append(entry.name);
        if (!fetching.isEmpty())
            m_console.out(u"Fetching "_s + fetching.join(u", "_s));
    }

    int succeeded = 0;
    int failed = 0;
    for (const Brewfile::Entry &entry : *entries) {
        if (isSatisfied(entry, noUpgrade) && !(entry.type == u"brew"_s && Brewfile::wantsService(entry))) {
            m_console.out(u"Using "_s + entry.name);
            ++succeeded;
            continue;
        }
        if (entry.type == u"tap"_s) {
            m_console.out(u"Tapping "_s + entry.name);
            m_state.taps.append(entry.name);
            ++succeeded;
            continue;
        }
        if (entry.type == u"mas"_s || (entry.type != u"brew"_s && entry.type != u"cask"_s)) {
            m_console.out(u"Installing "_s + entry.name);
            if (entry.type == u"mas"_s)
                m_state.masApps.append({ entry.name, entry.masId });
            else
                m_state.extensions.append({ entry.type, entry.name });
            ++succeeded;
            continue;
        }
        const Kind kind = entry.type == u"brew"_s ? Kind::formula : Kind::cask;
        const QString name = shortName(entry.name);
        bool ok = true;
        if (!isSatisfied(entry, noUpgrade)) {
            const FakeBrewState::Package *package = m_state.find(kind, name);
            const QString verb = package && package->isInstalled() ? u"Upgrading"_s : u"Installing"_s;
            m_console.out(verb + u' ' + entry.name);
            m_console.startCapture();
            ok = m_installer(kind, name);
            const QString captured = m_console.takeCapture();
            if (!ok) {
                // A failed sub-command's output is shown; a good one's is dropped.
                if (!captured.isEmpty())
                    m_console.rawOut(captured.toUtf8());
                m_console.err(u"%1 %2 has failed!"_s.arg(verb, entry.name));
            } else if (kind == Kind::formula) {
                m_state.find(kind, name)->installedOnRequest = true;
            }
        } else {
            m_console.out(u"Using "_s + entry.name);
        }
        if (ok && kind == Kind::formula && Brewfile::wantsService(entry)) {
            if (FakeBrewState::Service *service = m_state.service(name)) {
                m_console.startCapture();
                FakeBrewServices(m_state, m_console, m_home, m_environment).start(*service, true);
                m_console.takeCapture();
            }
        }
        ok ? ++succeeded : ++failed;
    }
    if (failed > 0) {
        m_console.err(u"`brew bundle` failed! %1 Brewfile %2 failed to install"_s.arg(
            QString::number(failed), failed == 1 ? u"dependency"_s : u"dependencies"_s));
        return 1;
    }
    m_console.out(u"`brew bundle` complete! %1 Brewfile %2 now installed."_s.arg(
        QString::number(succeeded), succeeded == 1 ? u"dependency"_s : u"dependencies"_s));
    return 0;
}

QStringList FakeBrewBundle::dumpLines(bool describe, bool restart) const
{
    QStringList lines;
    QStringList taps = m_state.taps;
    taps.sort();
    for (const QString &tap : std::as_const(taps))
        lines.append(u"tap "_s + Brewfile::quoted(tap));

    const auto described = [&](const FakeBrewState::Package &package, const QString &line) {
        if (describe && !package.desc.isEmpty())
            for (const QString &text : package.desc.split(u'\n'))
                lines.append(u"# "_s + text);
        lines.append(line);
    };

    // Formulae the user asked for: core ones first, by name, each after those of them it needs.
    QList<const FakeBrewState::Package *> formulae;
    for (const FakeBrewState::Package &formula : m_state.formulae)
        if (formula.isInstalled() && formula.installedOnRequest)
            formulae.append(&formula);
    std::sort(formulae.begin(), formulae.end(), [](const auto *a, const auto *b) {
        return std::pair(!a->tap.isEmpty() && a->tap != u"homebrew/core"_s, a->name)
            < std::pair(!b->tap.isEmpty() && b->tap != u"homebrew/core"_s, b->name);
    });
    QSet<QString> written;
    std::function<void(const FakeBrewState::Package *)> write = [&](const FakeBrewState::Package *formula) {
        if (written.contains(formula->name))
            return;
        written.insert(formula->name);
        for (const QString &dependency : formula->dependencies)
            for (const FakeBrewState::Package *other : std::as_const(formulae))
                if (other->name == dependency)
                    write(other);
        QString line = u"brew "_s + Brewfile::quoted(FakeBrewState::fullName(*formula, Kind::formula));
        const FakeBrewState::Service *service = const_cast<FakeBrewState &>(m_state).service(formula->name);
        if (restart && service && service->status == u"started"_s)
            line += u", restart_service: :changed"_s;
        described(*formula, line);
    };
    for (const FakeBrewState::Package *formula : std::as_const(formulae))
        write(formula);

    QList<FakeBrewState::Package> casks;
    for (const FakeBrewState::Package &cask : m_state.casks)
        if (cask.isInstalled())
            casks.append(cask);
    std::sort(casks.begin(), casks.end(), [](const auto &a, const auto &b) {
        return FakeBrewState::fullName(a, Kind::cask) < FakeBrewState::fullName(b, Kind::cask);
    });
    for (const FakeBrewState::Package &cask : std::as_const(casks))
        described(cask, u"cask "_s + Brewfile::quoted(FakeBrewState::fullName(cask, Kind::cask)));

    QList<FakeBrewState::MasApp> apps = m_state.masApps;
    std::sort(apps.begin(), apps.end(),
        [](const auto &a, const auto &b) { return a.name.compare(b.name, Qt::CaseInsensitive) < 0; });
    for (const FakeBrewState::MasApp &app : std::as_const(apps))
        lines.append(u"mas %1, id: %2"_s.arg(Brewfile::quoted(app.name)).arg(app.id));

    for (const QString &type : Brewfile::typeOrder().mid(4)) {
        QStringList names;
        for (const FakeBrewState::Extension &extension : m_state.extensions)
            if (extension.type == type)
                names.append(type == u"vscode"_s ? extension.name.toLower() : extension.name);
        names.sort();
        for (const QString &name : std::as_const(names))
            lines.append(type + u' ' + Brewfile::quoted(name));
    }
    return lines;
}

int FakeBrewBundle::dump(const Options &options)
{
    const QString path = brewfilePath(options);
    const bool toStdout = path == u"-"_s;
    if (!toStdout && QFileInfo::exists(path) && !options.flags.contains(u"--force"_s)) {
        m_console.err(u"Error: %1 already exists"_s.arg(path));
        return 1;
    }
    bool describe = false;
    if (m_state.versionAtLeast(u"6.0.0"_s)) {
        // Descriptions are on by default since 6.0; the old switch only earns a warning.
        if (options.flags.contains(u"--describe"_s))
            m_console.err(u"Warning: Calling the `--describe` switch is deprecated! There is no replacement."_s);
        describe = !options.flags.contains(u"--no-describe"_s)
            && m_environment.value(u"HOMEBREW_BUNDLE_NO_DESCRIBE"_s).isEmpty();
    } else {
        describe = options.flags.contains(u"--describe"_s)
            || !m_environment.value(u"HOMEBREW_BUNDLE_DUMP_DESCRIBE"_s).isEmpty();
    }
    const QStringList lines = dumpLines(describe, !options.flags.contains(u"--no-restart"_s));
    const QByteArray text = lines.isEmpty() ? QByteArray() : (lines.join(u'\n') + u'\n').toUtf8();
    if (toStdout) {
        m_console.rawOut(text);
        return 0;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        m_console.err(u"Error: Could not write %1: %2"_s.arg(path, file.errorString()));
        return 1;
    }
    return 0;
}

} // namespace fakebrew

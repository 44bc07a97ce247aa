#include "FakeBrewCli.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace fakebrew {

namespace {

// Stable across runs (qHash is seeded per process), so a keg has the same size every time.
quint32 stableHash(const QString &text)
{
    quint32 hash = 2166136261u;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 16777619u;
    }
    return hash;
}

struct KegSize {
    int files;
    qint64 bytes;
};

KegSize kegSize(const QString &name, const QString &version)
{
    const quint32 hash = stableHash(name + u'@' + version);
    return { 6 + static_cast<int>(hash % 2400), 24 * 1024 + static_cast<qint64>(hash / 13) % (48LL * 1024 * 1024) };
}

QString groupedNumber(qint64 number)
{
    QString digits = QString::number(number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return digits;
}

QString revision(const QString &version)
{
    return QString::number(stableHash(version), 16).rightJustified(8, u'0').left(7);
}

QString plural(qsizetype count, const QString &singular, const QString &pluralText)
{
    return QString::number(count) + u' ' + (count == 1 ? singular : pluralText);
}

QString unknownPackage(Kind kind, const QString &name)
{
    return kind == Kind::formula ? u"No available formula with the name \"%1\"."_s.arg(name)
                                 : u"Cask '%1' is unavailable: No Cask with this name exists."_s.arg(name);
}

QString jsonString(const QString &text)
{
    // A one-element array is the shortest way to borrow Qt's escaping.
    const QByteArray array = QJsonDocument(QJsonArray{ text }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// Homebrew pretty-prints its JSON with two-space indentation and keeps keys in insertion order,
// which QJsonDocument (four spaces, sorted keys) cannot do.
QString jsonStringArray(const QStringList &items, int indent)
{
    if (items.isEmpty())
        return u"[]"_s;
    const QString inner(indent + 2, u' ');
    QStringList lines;
    for (const QString &item : items)
        lines.append(inner + jsonString(item));
    return u"[\n"_s + lines.join(u",\n"_s) + u'\n' + QString(indent, u' ') + u']';
}

QString jsonObject(const QList<std::pair<QString, QString>> &members, int indent)
{
    const QString inner(indent + 2, u' ');
    QStringList lines;
    for (const auto &[key, value] : members)
        lines.append(inner + jsonString(key) + u": "_s + value);
    return QString(indent, u' ') + u"{\n"_s + lines.join(u",\n"_s) + u'\n' + QString(indent, u' ') + u'}';
}

QString jsonObjectArray(const QStringList &objects, int indent)
{
    if (objects.isEmpty())
        return u"[]"_s;
    return u"[\n"_s + objects.join(u",\n"_s) + u'\n' + QString(indent, u' ') + u']';
}

QString outdatedFormulaJson(const FakeBrewState::Package &formula, int indent)
{
    return jsonObject(
        {
            { u"name"_s, jsonString(formula.name) },
            { u"installed_versions"_s, jsonStringArray(formula.installedVersions, indent + 2) },
            { u"current_version"_s, jsonString(formula.version) },
            { u"pinned"_s, formula.pinned ? u"true"_s : u"false"_s },
            { u"pinned_version"_s, formula.pinned ? jsonString(formula.installedVersions.last()) : u"null"_s },
        },
        indent);
}

QString outdatedCaskJson(const FakeBrewState::Package &cask, int indent)
{
    return jsonObject(
        {
            { u"name"_s, jsonString(cask.name) },
            { u"installed_versions"_s, jsonStringArray(cask.installedVersions, indent + 2) },
            { u"current_version"_s, jsonString(cask.version) },
        },
        indent);
}

QList<FakeBrewState::Package> sortedByName(QList<FakeBrewState::Package> packages)
{
    std::sort(packages.begin(), packages.end(),
        [](const FakeBrewState::Package &a, const FakeBrewState::Package &b) { return a.name < b.name; });
    return packages;
}

void writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

void writeAll(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

FakeBrewCli::FakeBrewCli(QString stateFolder, QProcessEnvironment environment)
    : m_stateFolder(std::move(stateFolder))
    , m_environment(std::move(environment))
{
}

QString FakeBrewCli::sentence(const QStringList &words)
{
    if (words.size() <= 1)
        return words.join(QString());
    return words.first(words.size() - 1).join(u", "_s) + u" and "_s + words.last();
}

QString FakeBrewCli::readableSize(qint64 bytes)
{
    double size = static_cast<double>(bytes);
    QString unit = u"B"_s;
    if (bytes >= 1073741824) {
        size /= 1073741824.0;
        unit = u"GB"_s;
    } else if (bytes >= 1048576) {
        size /= 1048576.0;
        unit = u"MB"_s;
    } else if (bytes >= 1024) {
        size /= 1024.0;
        unit = u"KB"_s;
    }
    // Homebrew drops a zero after the decimal point: 1MB, not 1.0MB.
    if (static_cast<qint64>(size * 10) % 10 == 0)
        return QString::number(static_cast<qint64>(size)) + unit;
    return QString::number(size, 'f', 1) + unit;
}

int FakeBrewCli::run(const QStringList &arguments)
{
    recordInvocation(arguments);
    if (arguments.isEmpty()) {
        out(u"Example usage:\n  brew search TEXT|/REGEX/\n  brew info [FORMULA|CASK...]\n  brew install FORMULA|CASK..."_s);
        return 1;
    }

    enum class Command { version, prefix, list, outdated, install, upgrade, update };
    struct Syntax {
        Command command;
        QStringList allowed;
    };
    const QStringList common{ u"--debug"_s, u"--quiet"_s, u"--verbose"_s };
    const QHash<QString, Syntax> commands{
        { u"--version"_s, { Command::version, {} } },
        { u"-v"_s, { Command::version, {} } },
        { u"--prefix"_s, { Command::prefix, {} } },
        { u"list"_s, { Command::list, common + QStringList{ u"--formula"_s, u"--cask"_s, u"-1"_s, u"--versions"_s } } },
        { u"ls"_s, { Command::list, common + QStringList{ u"--formula"_s, u"--cask"_s, u"-1"_s, u"--versions"_s } } },
        { u"outdated"_s,
            { Command::outdated,
                common
                    + QStringList{ u"--formula"_s, u"--cask"_s, u"--json"_s, u"--greedy"_s, u"--greedy-latest"_s,
                        u"--greedy-auto-updates"_s } } },
        { u"install"_s,
            { Command::install,
                common
                    + QStringList{ u"--formula"_s, u"--cask"_s, u"--force"_s, u"--no-quarantine"_s, u"--adopt"_s,
                        u"--overwrite"_s } } },
        { u"upgrade"_s,
            { Command::upgrade,
                common
                    + QStringList{ u"--formula"_s, u"--cask"_s, u"--force"_s, u"--greedy"_s, u"--greedy-latest"_s,
                        u"--greedy-auto-updates"_s, u"--no-quarantine"_s } } },
        { u"update"_s, { Command::update, common + QStringList{ u"--force"_s } } },
    };

    const QString name = arguments.first();
    const auto syntax = commands.constFind(name);
    if (syntax == commands.cend()) {
        err(u"Error: Unknown command: "_s + name);
        return 1;
    }
    const std::optional<Options> options = parse(arguments.mid(1), syntax->allowed);
    if (!options)
        return 1;
    const Command command = syntax->command;
    if ((command == Command::update || command == Command::version || command == Command::prefix)
        && !options->names.isEmpty()) {
        err(u"Error: Invalid usage: This command does not take named arguments."_s);
        return 1;
    }

    // Homebrew serialises the commands that change the machine; the readers rely on atomic saves.
    const bool changesState = command == Command::install || command == Command::upgrade || command == Command::update;
    QLockFile lock(QDir(m_stateFolder).filePath(u"state.lock"_s));
    if (changesState && !lock.lock()) {
        err(u"Error: Another active Homebrew process is already in progress."_s);
        return 1;
    }
    if (!loadState())
        return 1;
    if (const auto failing = m_state.failingCommands.constFind(name); failing != m_state.failingCommands.cend()) {
        err(u"Error: "_s + failing.value());
        return 1;
    }

    switch (command) {
    case Command::version:
        return version();
    case Command::prefix:
        return prefix();
    case Command::list:
        return list(*options);
    case Command::outdated:
        return outdated(*options);
    case Command::install:
        return install(*options);
    case Command::upgrade:
        return upgrade(*options);
    case Command::update:
        return update();
    }
    return 1;
}

std::optional<FakeBrewCli::Options> FakeBrewCli::parse(const QStringList &arguments, const QStringList &allowed)
{
    static const QHash<QString, QString> aliases{
        { u"--formulae"_s, u"--formula"_s },
        { u"--casks"_s, u"--cask"_s },
        { u"-q"_s, u"--quiet"_s },
        { u"-d"_s, u"--debug"_s },
        { u"-f"_s, u"--force"_s },
    };
    Options options;
    for (const QString &argument : arguments) {
        if (!argument.startsWith(u'-') || argument == u"-"_s) {
            if (!options.names.contains(argument))
                options.names.append(argument);
            continue;
        }
        QString flag = aliases.value(argument, argument);
        if (flag == u"--json"_s) {
            options.json = u"v1"_s;
        } else if (flag.startsWith(u"--json="_s)) {
            options.json = flag.mid(7);
            flag = u"--json"_s;
        }
        // "-v" is --verbose everywhere but in first place.
        if (flag == u"-v"_s)
            flag = u"--verbose"_s;
        if (!allowed.contains(flag)) {
            err(u"Error: invalid option: "_s + argument);
            return std::nullopt;
        }
        if (flag == u"--json"_s && options.json != u"v1"_s && options.json != u"v2"_s) {
            err(u"Error: invalid JSON version: "_s + options.json);
            return std::nullopt;
        }
        options.flags.insert(flag);
    }
    if (options.flags.contains(u"--formula"_s) && options.flags.contains(u"--cask"_s)) {
        err(u"Error: Options --formula and --cask are mutually exclusive."_s);
        return std::nullopt;
    }
    return options;
}

std::optional<Kind> FakeBrewCli::onlyKind(const Options &options)
{
    if (options.flags.contains(u"--formula"_s))
        return Kind::formula;
    if (options.flags.contains(u"--cask"_s))
        return Kind::cask;
    return std::nullopt;
}

std::optional<QList<FakeBrewCli::Target>> FakeBrewCli::resolve(const QStringList &names, std::optional<Kind> kind)
{
    QList<Target> targets;
    for (const QString &name : names) {
        const auto offered = [&](Kind k) {
            const FakeBrewState::Package *package = m_state.find(k, name);
            return package && package->inCatalog;
        };
        if ((!kind || kind == Kind::formula) && offered(Kind::formula)) {
            targets.append({ Kind::formula, name });
        } else if ((!kind || kind == Kind::cask) && offered(Kind::cask)) {
            targets.append({ Kind::cask, name });
        } else {
            err(u"Error: "_s + unknownPackage(kind.value_or(Kind::formula), name));
            return std::nullopt;
        }
    }
    return targets;
}

bool FakeBrewCli::loadState()
{
    const std::optional<FakeBrewState> state = FakeBrewState::load(m_stateFolder);
    if (!state) {
        err(u"Error: The fake brew found no readable state in "_s + m_stateFolder);
        return false;
    }
    m_state = *state;
    return true;
}

bool FakeBrewCli::saveState()
{
    if (m_state.save(m_stateFolder))
        return true;
    err(u"Error: The fake brew could not save its state in "_s + m_stateFolder);
    return false;
}

int FakeBrewCli::version()
{
    out(u"Homebrew "_s + m_state.homebrewVersion);
    return 0;
}

int FakeBrewCli::prefix()
{
    out(m_state.prefix);
    return 0;
}

int FakeBrewCli::list(const Options &options)
{
    if (!options.names.isEmpty()) {
        err(u"Error: Invalid usage: The fake brew does not list the files of a keg."_s);
        return 1;
    }
    const std::optional<Kind> kind = onlyKind(options);
    for (const Kind k : { Kind::formula, Kind::cask }) {
        if (kind && kind != k)
            continue;
        for (const FakeBrewState::Package &package : sortedByName(m_state.packages(k))) {
            if (!package.isInstalled())
                continue;
            if (options.flags.contains(u"--versions"_s))
                out(package.name + u' ' + package.installedVersions.join(u' '));
            else
                out(package.name);
        }
    }
    return 0;
}

int FakeBrewCli::outdated(const Options &options)
{
    const std::optional<Kind> kind = onlyKind(options);
    const bool greedy = options.flags.contains(u"--greedy"_s) || options.flags.contains(u"--greedy-auto-updates"_s)
        || options.flags.contains(u"--greedy-latest"_s);
    const auto wanted = [&](const FakeBrewState::Package &package) {
        return package.isOutdated() && (options.names.isEmpty() || options.names.contains(package.name));
    };
    QList<FakeBrewState::Package> formulae;
    QList<FakeBrewState::Package> casks;
    if (kind != Kind::cask)
        for (const FakeBrewState::Package &formula : sortedByName(m_state.formulae))
            if (wanted(formula))
                formulae.append(formula);
    if (kind != Kind::formula)
        for (const FakeBrewState::Package &cask : sortedByName(m_state.casks))
            if (wanted(cask) && (greedy || !cask.autoUpdates || options.names.contains(cask.name)))
                casks.append(cask);

    if (options.json == u"v2"_s) {
        QStringList formulaObjects;
        for (const FakeBrewState::Package &formula : std::as_const(formulae))
            formulaObjects.append(outdatedFormulaJson(formula, 4));
        QStringList caskObjects;
        for (const FakeBrewState::Package &cask : std::as_const(casks))
            caskObjects.append(outdatedCaskJson(cask, 4));
        out(u"{\n  \"formulae\": "_s + jsonObjectArray(formulaObjects, 2) + u",\n  \"casks\": "_s
            + jsonObjectArray(caskObjects, 2) + u"\n}"_s);
    } else if (options.json == u"v1"_s) {
        QStringList formulaObjects;
        for (const FakeBrewState::Package &formula : std::as_const(formulae))
            formulaObjects.append(outdatedFormulaJson(formula, 2));
        out(jsonObjectArray(formulaObjects, 0));
    } else {
        const bool verbose = options.flags.contains(u"--verbose"_s);
        for (const FakeBrewState::Package &formula : std::as_const(formulae))
            out(verbose ? u"%1 (%2) < %3"_s.arg(formula.name, formula.installedVersions.join(u", "_s), formula.version)
                        : formula.name);
        for (const FakeBrewState::Package &cask : std::as_const(casks))
            out(verbose ? u"%1 (%2) != %3"_s.arg(cask.name, cask.installedVersions.join(u", "_s), cask.version)
                        : cask.name);
    }
    // Like Homebrew: outdated names that were asked about make the command fail.
    return !options.names.isEmpty() && !(formulae.isEmpty() && casks.isEmpty()) ? 1 : 0;
}

int FakeBrewCli::install(const Options &options)
{
    if (options.names.isEmpty()) {
        err(u"Error: Invalid usage: This command requires at least 1 formula or cask argument."_s);
        return 1;
    }
    autoUpdate();
    const std::optional<QList<Target>> targets = resolve(options.names, onlyKind(options));
    if (!targets)
        return 1;

    QStringList downloads;
    for (const Target &target : *targets) {
        const FakeBrewState::Package *package = m_state.find(target.kind, target.name);
        if (package->isInstalled() && !package->isOutdated())
            continue;
        if (target.kind == Kind::formula && !package->isInstalled()) {
            QStringList missing;
            QStringList visiting;
            if (!missingDependencies(target.name, missing, visiting))
                return 1;
            for (const QString &dependency : std::as_const(missing))
                if (!downloads.contains(dependency))
                    downloads.append(dependency);
        }
        downloads.append(target.name);
    }

    if (!downloads.isEmpty())
        err(u"==> Fetching downloads for: "_s + sentence(downloads));

    bool ok = true;
    for (const Target &target : *targets) {
        FakeBrewState::Package *package = m_state.find(target.kind, target.name);
        const QString installed = package->isInstalled() ? package->installedVersions.last() : QString();
        if (target.kind == Kind::formula) {
            if (!package->isInstalled()) {
                ok = installFormula(target.name) && ok;
            } else if (package->isOutdated()) {
                err(u"Warning: %1 %2 is already installed but outdated (so it will be upgraded)."_s.arg(
                    target.name, installed));
                ok = upgradeFormula(target.name) && ok;
            } else {
                err(u"Warning: %1 %2 is already installed and up-to-date.\nTo reinstall %2, run:\n  brew reinstall %1"_s
                        .arg(target.name, installed));
            }
        } else {
            if (!package->isInstalled()) {
                ok = installCask(*package) && ok;
            } else if (package->isOutdated()) {
                ok = upgradeCask(*package) && ok;
            } else {
                err(u"Warning: Not upgrading %1, the latest version is already installed"_s.arg(target.name));
            }
        }
    }
    return ok ? 0 : 1;
}

int FakeBrewCli::upgrade(const Options &options)
{
    const std::optional<Kind> kind = onlyKind(options);
    const bool greedy = options.flags.contains(u"--greedy"_s) || options.flags.contains(u"--greedy-auto-updates"_s)
        || options.flags.contains(u"--greedy-latest"_s);
    const bool named = !options.names.isEmpty();
    autoUpdate();
    const std::optional<QList<Target>> targets = resolve(options.names, kind);
    if (!targets)
        return 1;
    for (const Target &target : *targets) {
        if (m_state.find(target.kind, target.name)->isInstalled())
            continue;
        err(target.kind == Kind::formula ? u"Error: %1 not installed"_s.arg(target.name)
                                         : u"Error: Cask '%1' is not installed."_s.arg(target.name));
        return 1;
    }

    // What gets upgraded, in Homebrew's order: formulae by name, then casks by name.
    QList<FakeBrewState::Package> formulae;
    QList<FakeBrewState::Package> pinned;
    QList<FakeBrewState::Package> casks;
    const auto isNamed = [&](Kind k, const QString &name) {
        return std::any_of(targets->cbegin(), targets->cend(),
            [&](const Target &target) { return target.kind == k && target.name == name; });
    };
    if (kind != Kind::cask) {
        for (const FakeBrewState::Package &formula : sortedByName(m_state.formulae)) {
            if (!formula.isInstalled() || (named && !isNamed(Kind::formula, formula.name)))
                continue;
            if (!formula.isOutdated()) {
                if (named)
                    err(u"Warning: %1 %2 already installed"_s.arg(formula.name, formula.installedVersions.last()));
                continue;
            }
            (formula.pinned ? pinned : formulae).append(formula);
        }
    }
    if (kind != Kind::formula) {
        for (const FakeBrewState::Package &cask : sortedByName(m_state.casks)) {
            if (!cask.isInstalled() || (named && !isNamed(Kind::cask, cask.name)))
                continue;
            if (!cask.isOutdated()) {
                if (named)
                    err(u"Warning: Not upgrading %1, the latest version is already installed"_s.arg(cask.name));
                continue;
            }
            // A cask that updates itself is left to itself unless asked for by name or greedily.
            if (named || greedy || !cask.autoUpdates)
                casks.append(cask);
        }
    }

    bool ok = true;
    if (!pinned.isEmpty()) {
        // Only pinned packages asked for by name make the command fail.
        const QString message
            = u"Not upgrading %1:"_s.arg(plural(pinned.size(), u"pinned package"_s, u"pinned packages"_s));
        err((named ? u"Error: "_s : u"Warning: "_s) + message);
        QStringList lines;
        for (const FakeBrewState::Package &formula : std::as_const(pinned))
            lines.append(formula.name + u' ' + formula.installedVersions.last());
        err(lines.join(u", "_s));
        ok = !named;
    }
    if (formulae.isEmpty() && casks.isEmpty())
        return ok ? 0 : 1;

    for (const Kind k : { Kind::formula, Kind::cask }) {
        const QList<FakeBrewState::Package> &batch = k == Kind::formula ? formulae : casks;
        if (batch.isEmpty())
            continue;
        out(u"==> Upgrading "_s + plural(batch.size(), u"outdated package:"_s, u"outdated packages:"_s));
        QStringList names;
        for (const FakeBrewState::Package &package : batch) {
            out(u"%1 %2 -> %3"_s.arg(package.name, package.installedVersions.last(), package.version));
            names.append(package.name);
        }
        err(u"==> Fetching downloads for: "_s + sentence(names));
        for (const FakeBrewState::Package &package : batch) {
            if (k == Kind::formula)
                ok = upgradeFormula(package.name) && ok;
            else
                ok = upgradeCask(*m_state.find(Kind::cask, package.name)) && ok;
        }
    }
    return ok ? 0 : 1;
}

int FakeBrewCli::update()
{
    printUpdateSummary();
    return saveState() ? 0 : 1;
}

void FakeBrewCli::autoUpdate()
{
    const QString noAutoUpdate = m_environment.value(u"HOMEBREW_NO_AUTO_UPDATE"_s).toLower();
    if (!noAutoUpdate.isEmpty() && noAutoUpdate != u"0"_s && noAutoUpdate != u"false"_s)
        return;
    out(u"==> Auto-updating Homebrew..."_s);
    if (showHints()) {
        out(u"Adjust how often this is run with `$HOMEBREW_AUTO_UPDATE_SECS` or disable with"_s);
        out(u"`$HOMEBREW_NO_AUTO_UPDATE=1`. Hide these hints with `$HOMEBREW_NO_ENV_HINTS=1` (see `man brew`)."_s);
    }
    if (!m_state.pendingUpdate.isEmpty()) {
        printUpdateSummary();
        saveState();
    }
}

void FakeBrewCli::printUpdateSummary()
{
    const FakeBrewState::Update update = m_state.pendingUpdate;
    if (update.isEmpty()) {
        out(u"Already up-to-date."_s);
        return;
    }
    if (!update.homebrewVersion.isEmpty()) {
        out(u"Updated Homebrew from %1 (%2) to %3 (%4)."_s.arg(m_state.homebrewVersion,
            revision(m_state.homebrewVersion), update.homebrewVersion, revision(update.homebrewVersion)));
        m_state.homebrewVersion = update.homebrewVersion;
    }
    QStringList taps;
    if (!update.newFormulae.isEmpty())
        taps.append(u"homebrew/core"_s);
    if (!update.newCasks.isEmpty())
        taps.append(u"homebrew/cask"_s);
    if (!taps.isEmpty())
        out(u"Updated %1 (%2)."_s.arg(plural(taps.size(), u"tap"_s, u"taps"_s), sentence(taps)));
    if (!update.newFormulae.isEmpty()) {
        out(u"==> New Formulae"_s);
        for (const QString &name : update.newFormulae)
            out(name);
    }
    if (!update.newCasks.isEmpty()) {
        out(u"==> New Casks"_s);
        for (const QString &name : update.newCasks)
            out(name);
    }

    QStringList outdatedFormulae;
    for (const FakeBrewState::Package &formula : sortedByName(m_state.formulae))
        if (formula.isOutdated())
            outdatedFormulae.append(formula.name);
    QStringList outdatedCasks;
    for (const FakeBrewState::Package &cask : sortedByName(m_state.casks))
        if (cask.isOutdated() && !cask.autoUpdates)
            outdatedCasks.append(cask.name);
    if (!outdatedFormulae.isEmpty()) {
        out(u"==> Outdated Formulae"_s);
        for (const QString &name : std::as_const(outdatedFormulae))
            out(name);
    }
    if (!outdatedCasks.isEmpty()) {
        out(u"==> Outdated Casks"_s);
        for (const QString &name : std::as_const(outdatedCasks))
            out(name);
    }
    if (!outdatedFormulae.isEmpty() || !outdatedCasks.isEmpty()) {
        QStringList counts;
        if (!outdatedFormulae.isEmpty())
            counts.append(plural(outdatedFormulae.size(), u"outdated formula"_s, u"outdated formulae"_s));
        if (!outdatedCasks.isEmpty())
            counts.append(plural(outdatedCasks.size(), u"outdated cask"_s, u"outdated casks"_s));
        out(QString());
        out(u"You have %1 installed."_s.arg(sentence(counts)));
        out(u"You can upgrade them with brew upgrade"_s);
        out(u"or list them with brew outdated."_s);
    }
    m_state.pendingUpdate = {};
}

bool FakeBrewCli::missingDependencies(const QString &name, QStringList &missing, QStringList &visiting)
{
    visiting.append(name);
    const QStringList dependencies = m_state.find(Kind::formula, name)->dependencies;
    for (const QString &dependency : dependencies) {
        if (visiting.contains(dependency))
            continue;
        const FakeBrewState::Package *package = m_state.find(Kind::formula, dependency);
        if (!package || !package->inCatalog) {
            err(u"Error: No available formula with the name \"%1\" (dependency of %2)."_s.arg(dependency, name));
            return false;
        }
        if (!missingDependencies(dependency, missing, visiting))
            return false;
        if (!package->isInstalled() && !missing.contains(dependency))
            missing.append(dependency);
    }
    visiting.removeLast();
    return true;
}

bool FakeBrewCli::installFormula(const QString &name)
{
    QStringList missing;
    QStringList visiting;
    if (!missingDependencies(name, missing, visiting))
        return false;
    if (!missing.isEmpty())
        out(u"==> Installing dependencies for %1: %2"_s.arg(name, sentence(missing)));
    for (const QString &dependency : std::as_const(missing)) {
        out(u"==> Installing %1 dependency: %2"_s.arg(name, dependency));
        if (!pour(*m_state.find(Kind::formula, dependency)))
            return false;
    }
    out(u"==> Installing "_s + name);
    if (!pour(*m_state.find(Kind::formula, name)))
        return false;
    runCleanup(name, std::nullopt, 0);
    return true;
}

bool FakeBrewCli::upgradeFormula(const QString &name)
{
    FakeBrewState::Package &formula = *m_state.find(Kind::formula, name);
    if (!formula.inCatalog) {
        err(u"Error: "_s + unknownPackage(Kind::formula, name));
        return false;
    }
    const QString old = formula.installedVersions.last();
    out(u"==> Upgrading "_s + name);
    out(u"  %1 -> %2"_s.arg(old, formula.version));
    out(QString());
    if (!pour(formula))
        return false;
    runCleanup(name, old, kegSize(name, old).bytes);
    return true;
}

bool FakeBrewCli::pour(FakeBrewState::Package &formula)
{
    const int firstHalf = formula.delayMs / 2;
    pause(firstHalf);
    if (formula.floodBytes > 0)
        flood(formula);
    else
        out(u"==> Pouring %1--%2.%3.bottle.tar.gz"_s.arg(formula.name, formula.version, m_state.bottleTag));
    pause(formula.delayMs - firstHalf);
    if (formula.fails) {
        err(u"Error: "_s + failureText(formula, Kind::formula));
        return false;
    }
    const KegSize size = kegSize(formula.name, formula.version);
    out(u"🍺  %1/Cellar/%2/%3: %4 files, %5"_s.arg(
        m_state.prefix, formula.name, formula.version, groupedNumber(size.files), readableSize(size.bytes)));
    formula.installedVersions = { formula.version };
    return saveState();
}

void FakeBrewCli::runCleanup(const QString &name, const std::optional<QString> &oldVersion, qint64 oldSize)
{
    const QString noCleanup = m_environment.value(u"HOMEBREW_NO_INSTALL_CLEANUP"_s);
    if (!noCleanup.isEmpty() && noCleanup != u"0"_s)
        return;
    out(u"==> Running `brew cleanup %1`..."_s.arg(name));
    if (showHints()) {
        out(u"Disable this behaviour by setting `HOMEBREW_NO_INSTALL_CLEANUP=1`."_s);
        out(u"Hide these hints with `HOMEBREW_NO_ENV_HINTS=1` (see `man brew`)."_s);
    }
    if (oldVersion)
        out(u"Removing: %1/Cellar/%2/%3... (%4 files, %5)"_s.arg(
            m_state.prefix, name, *oldVersion, groupedNumber(kegSize(name, *oldVersion).files), readableSize(oldSize)));
}

bool FakeBrewCli::installCask(FakeBrewState::Package &cask)
{
    out(u"==> Installing Cask "_s + cask.name);
    const int firstHalf = cask.delayMs / 2;
    pause(firstHalf);
    if (cask.floodBytes > 0)
        flood(cask);
    pause(cask.delayMs - firstHalf);
    if (cask.fails) {
        err(u"Error: "_s + failureText(cask, Kind::cask));
        return false;
    }
    moveArtifacts(cask, QString());
    out(u"🍺  %1 was successfully installed!"_s.arg(cask.name));
    cask.installedVersions = { cask.version };
    return saveState();
}

bool FakeBrewCli::upgradeCask(FakeBrewState::Package &cask)
{
    if (!cask.inCatalog) {
        err(u"Error: "_s + unknownPackage(Kind::cask, cask.name));
        return false;
    }
    const QString old = cask.installedVersions.last();
    out(u"==> Upgrading "_s + cask.name);
    out(u"  %1 -> %2"_s.arg(old, cask.version));
    const int firstHalf = cask.delayMs / 2;
    pause(firstHalf);
    if (cask.floodBytes > 0)
        flood(cask);
    pause(cask.delayMs - firstHalf);
    if (cask.fails) {
        err(u"Error: "_s + failureText(cask, Kind::cask));
        return false;
    }
    moveArtifacts(cask, old);
    out(u"==> Purging files for version %1 of Cask %2"_s.arg(old, cask.name));
    out(u"🍺  %1 was successfully upgraded!"_s.arg(cask.name));
    cask.installedVersions = { cask.version };
    return saveState();
}

void FakeBrewCli::moveArtifacts(const FakeBrewState::Package &cask, const QString &replacedVersion)
{
    const QString caskroom = u"%1/Caskroom/%2/%3/"_s.arg(m_state.prefix, cask.name, replacedVersion);
    if (const QString app = appName(cask); !app.isEmpty()) {
        const QString target = u"/Applications/"_s + app;
        if (!replacedVersion.isEmpty()) {
            out(u"==> Backing App '%1' up to '%2%1'"_s.arg(app, caskroom));
            out(u"==> Removing App '%1'"_s.arg(target));
        }
        out(u"==> Moving App '%1' to '%2'"_s.arg(app, target));
        writeFile(m_state.systemRoot + target + u"/Contents/Info.plist"_s,
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
            "\t<key>CFBundleShortVersionString</key>\n\t<string>%1</string>\n</dict>\n</plist>\n"_s.arg(cask.version)
                .toUtf8());
    }
    for (const QString &font : fontNames(cask)) {
        const QString target = homeFolder() + u"/Library/Fonts/"_s + font;
        if (!replacedVersion.isEmpty()) {
            out(u"==> Backing Font '%1' up to '%2%1'"_s.arg(font, caskroom));
            out(u"==> Removing Font '%1'"_s.arg(target));
        }
        out(u"==> Moving Font '%1' to '%2'"_s.arg(font, target));
        writeFile(target, u"fake font %1 %2\n"_s.arg(cask.name, cask.version).toUtf8());
    }
}

QString FakeBrewCli::failureText(const FakeBrewState::Package &package, Kind kind) const
{
    if (!package.failureMessage.isEmpty())
        return package.failureMessage;
    if (kind == Kind::formula)
        return u"%1: An unexpected error occurred during the `brew link` step"_s.arg(package.name);
    if (const QString app = appName(package); !app.isEmpty())
        return u"It seems there is already an App at '/Applications/%1'."_s.arg(app);
    const QStringList fonts = fontNames(package);
    if (!fonts.isEmpty())
        return u"It seems there is already a Font at '%1/Library/Fonts/%2'."_s.arg(homeFolder(), fonts.first());
    return u"%1: An unexpected error occurred during the installation"_s.arg(package.name);
}

QString FakeBrewCli::appName(const FakeBrewState::Package &cask) const
{
    if (!cask.app.isEmpty())
        return cask.app;
    if (!cask.fonts.isEmpty() || cask.name.startsWith(u"font-"_s))
        return QString();
    // visual-studio-code → Visual Studio Code.app
    QStringList words = cask.name.split(u'-', Qt::SkipEmptyParts);
    for (QString &word : words)
        word[0] = word[0].toUpper();
    return words.join(u' ') + u".app"_s;
}

QStringList FakeBrewCli::fontNames(const FakeBrewState::Package &cask) const
{
    if (!cask.fonts.isEmpty() || !cask.name.startsWith(u"font-"_s))
        return cask.fonts;
    // font-fira-code → FiraCode-Regular.ttf
    QStringList words = cask.name.mid(5).split(u'-', Qt::SkipEmptyParts);
    for (QString &word : words)
        word[0] = word[0].toUpper();
    return { words.join(QString()) + u"-Regular.ttf"_s };
}

QString FakeBrewCli::homeFolder() const
{
    return m_state.home.isEmpty() ? m_environment.value(u"HOME"_s) : m_state.home;
}

bool FakeBrewCli::showHints() const
{
    const QString value = m_environment.value(u"HOMEBREW_NO_ENV_HINTS"_s).toLower();
    return value.isEmpty() || value == u"0"_s || value == u"false"_s;
}

void FakeBrewCli::pause(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void FakeBrewCli::flood(const FakeBrewState::Package &package)
{
    const QString cellar = u"%1/Cellar/%2/%3"_s.arg(m_state.prefix, package.name, package.version);
    const QList<QByteArray> headings{
        (u"==> ./configure --disable-debug --disable-dependency-tracking --prefix="_s + cellar).toUtf8(),
        "==> make",
        "==> make check",
        "==> make install",
    };
    const QByteArray source = "src/" + package.name.toUtf8() + '-';
    const QByteArray include = "-I" + m_state.prefix.toUtf8() + "/opt/openssl@3/include";
    QByteArray buffer;
    qint64 written = 0;
    for (qint64 line = 0; written < package.floodBytes; ++line) {
        const qsizetype before = buffer.size();
        if (line % 40 == 0) {
            buffer += headings.at((line / 40) % headings.size());
        } else {
            const QByteArray unit = source + QByteArray::number(line);
            buffer += "clang -DHAVE_CONFIG_H -I. -I.. " + include + " -g -O2 -MT " + unit + ".o -MD -MP -MF " + unit
                + ".Tpo -c -o " + unit + ".o " + unit + ".c";
        }
        buffer += '\n';
        written += buffer.size() - before;
        if (buffer.size() >= 64 * 1024) {
            writeAll(stdout, buffer);
            buffer.clear();
        }
    }
    writeAll(stdout, buffer);
}

void FakeBrewCli::out(const QString &line)
{
    writeAll(stdout, line.toUtf8() + '\n');
}

void FakeBrewCli::err(const QString &line)
{
    writeAll(stderr, line.toUtf8() + '\n');
}

void FakeBrewCli::recordInvocation(const QStringList &arguments)
{
    QJsonObject environment;
    const QStringList keys = m_environment.keys();
    for (const QString &key : keys)
        if (key.startsWith(u"HOMEBREW_"_s) || key == u"NONINTERACTIVE"_s || key == u"SUDO_ASKPASS"_s || key == u"PATH"_s
            || key == u"HOME"_s)
            environment.insert(key, m_environment.value(key));
    struct stat input { };
    struct stat null { };
    const bool stdinIsNull = fstat(0, &input) == 0 && stat("/dev/null", &null) == 0 && S_ISCHR(input.st_mode)
        && input.st_rdev == null.st_rdev;
    const QJsonObject record{
        { u"arguments"_s, QJsonArray::fromStringList(arguments) },
        { u"environment"_s, environment },
        { u"stdinIsNull"_s, stdinIsNull },
    };
    QDir().mkpath(m_stateFolder);
    QFile log(QDir(m_stateFolder).filePath(FakeBrewState::invocationLogName()));
    // One write per record: concurrent runs append whole lines.
    if (log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        log.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
}

} // namespace fakebrew

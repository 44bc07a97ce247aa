#include "FakeBrewCli.h"

#include "FakeBrewBundle.h"
#include "FakeBrewServices.h"
#include "PrettyJson.h"

#include <QCryptographicHash>
#include <QDateTime>
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

QString FakeBrewCli::readableSize(qint64 bytes, bool decimal)
{
    const double base = decimal ? 1000.0 : 1024.0;
    double size = static_cast<double>(bytes);
    QString unit = u"B"_s;
    for (const QString &next : { u"KB"_s, u"MB"_s, u"GB"_s }) {
        if (size < base)
            break;
        size /= base;
        unit = next;
    }
    // Homebrew drops a zero after the decimal point: 1MB, not 1.0MB. It looks at the truncated
    // digit, so 1960 bytes still give 2.0KB.
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

    // `services` and `bundle` have subcommands and options of their own.
    if (arguments.first() == u"services"_s || arguments.first() == u"bundle"_s) {
        QLockFile lock(QDir(m_stateFolder).filePath(u"state.lock"_s));
        if (!lock.lock()) {
            err(u"Error: Another active Homebrew process is already in progress."_s);
            return 1;
        }
        if (!loadState())
            return 1;
        if (const auto failing = m_state.failingCommands.constFind(arguments.first());
            failing != m_state.failingCommands.cend()) {
            err(u"Error: "_s + failing.value());
            return 1;
        }
        return arguments.first() == u"services"_s ? services(arguments.mid(1)) : bundle(arguments.mid(1));
    }

    enum class Command {
        version,
        prefix,
        list,
        outdated,
        install,
        upgrade,
        update,
        info,
        uninstall,
        reinstall,
        pin,
        unpin,
        uses,
        leaves,
        autoremove,
        cleanup
    };
    struct Syntax {
        Command command;
        QStringList allowed;
    };
    // Which switches exist depends on the simulated version; the state is read again under the lock.
    if (!loadState())
        return 1;
    const QStringList common{ u"--debug"_s, u"--quiet"_s, u"--verbose"_s };
    const QStringList uninstallFlags
        = common + QStringList{ u"--formula"_s, u"--cask"_s, u"--force"_s, u"--zap"_s, u"--ignore-dependencies"_s };
    // Casks can be pinned since 5.1.12; before that pin knows formulae only.
    const QStringList pinFlags
        = common + (m_state.versionAtLeast(u"5.1.12"_s) ? QStringList{ u"--formula"_s, u"--cask"_s } : QStringList());
    const QHash<QString, Syntax> commands{
        { u"--version"_s, { Command::version, {} } },
        { u"-v"_s, { Command::version, {} } },
        { u"--prefix"_s, { Command::prefix, {} } },
        { u"list"_s,
            { Command::list,
                common + QStringList{ u"--formula"_s, u"--cask"_s, u"-1"_s, u"--versions"_s, u"--pinned"_s } } },
        { u"ls"_s,
            { Command::list,
                common + QStringList{ u"--formula"_s, u"--cask"_s, u"-1"_s, u"--versions"_s, u"--pinned"_s } } },
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
        { u"info"_s,
            { Command::info,
                common + QStringList{ u"--formula"_s, u"--cask"_s, u"--json"_s, u"--installed"_s, u"--eval-all"_s } } },
        { u"uninstall"_s, { Command::uninstall, uninstallFlags } },
        { u"remove"_s, { Command::uninstall, uninstallFlags } },
        { u"rm"_s, { Command::uninstall, uninstallFlags } },
        { u"reinstall"_s,
            { Command::reinstall,
                common
                    + QStringList{ u"--formula"_s, u"--cask"_s, u"--force"_s, u"--ask"_s, u"--no-ask"_s, u"--yes"_s,
                        u"--no-quarantine"_s, u"--zap"_s } } },
        { u"pin"_s, { Command::pin, pinFlags } },
        { u"unpin"_s, { Command::unpin, pinFlags } },
        { u"uses"_s,
            { Command::uses,
                common
                    + QStringList{ u"--installed"_s, u"--recursive"_s, u"--formula"_s, u"--cask"_s,
                        u"--eval-all"_s } } },
        { u"leaves"_s,
            { Command::leaves, common + QStringList{ u"--installed-on-request"_s, u"--installed-as-dependency"_s } } },
        { u"autoremove"_s, { Command::autoremove, common + QStringList{ u"--dry-run"_s } } },
        { u"cleanup"_s, { Command::cleanup, common + QStringList{ u"--dry-run"_s, u"--prune"_s, u"--scrub"_s } } },
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
    if ((command == Command::update || command == Command::version || command == Command::prefix
            || command == Command::leaves || command == Command::autoremove)
        && !options->names.isEmpty()) {
        err(u"Error: Invalid usage: This command does not take named arguments."_s);
        return 1;
    }

    // Homebrew serialises the commands that change the machine; the readers rely on atomic saves.
    const bool changesState = command == Command::install || command == Command::upgrade || command == Command::update
        || command == Command::uninstall || command == Command::reinstall || command == Command::pin
        || command == Command::unpin || command == Command::autoremove || command == Command::cleanup;
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
    case Command::info:
        return info(*options);
    case Command::uninstall:
        return uninstall(*options);
    case Command::reinstall:
        return reinstall(*options);
    case Command::pin:
        return pin(*options, true);
    case Command::unpin:
        return pin(*options, false);
    case Command::uses:
        return uses(*options);
    case Command::leaves:
        return leaves(*options);
    case Command::autoremove:
        return autoremove(*options);
    case Command::cleanup:
        return cleanup(*options);
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
        { u"-n"_s, u"--dry-run"_s },
        { u"-r"_s, u"--installed-on-request"_s },
        { u"-p"_s, u"--installed-as-dependency"_s },
        { u"-s"_s, u"--scrub"_s },
        { u"-y"_s, u"--yes"_s },
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
        } else if (flag.startsWith(u"--"_s) && flag.contains(u'=')) {
            options.values.insert(flag.section(u'=', 0, 0), flag.section(u'=', 1));
            flag = flag.section(u'=', 0, 0);
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
    if (options.flags.contains(u"--pinned"_s))
        return listPinned(options);
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

// What install and reinstall start with: at least one name, the auto-update, then every name
// resolved (each message already printed when it fails).
std::optional<QList<FakeBrewCli::Target>> FakeBrewCli::packageArguments(const Options &options)
{
    if (options.names.isEmpty()) {
        err(u"Error: Invalid usage: This command requires at least 1 formula or cask argument."_s);
        return std::nullopt;
    }
    autoUpdate();
    return resolve(options.names, onlyKind(options));
}

int FakeBrewCli::install(const Options &options)
{
    const std::optional<QList<Target>> targets = packageArguments(options);
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
            if (cask.pinned)
                pinned.append(cask);
            else if (named || greedy || !cask.autoUpdates)
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
        FakeBrewState::Package &package = *m_state.find(Kind::formula, dependency);
        package.installedOnRequest = false;
        if (!pour(package))
            return false;
    }
    out(u"==> Installing "_s + name);
    FakeBrewState::Package &formula = *m_state.find(Kind::formula, name);
    formula.installedOnRequest = true;
    if (!pour(formula))
        return false;
    runCleanup(name, {});
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
    runCleanup(name, { old });
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
    const KegSize keg = kegSize(formula.name, formula.version);
    out(u"🍺  %1/Cellar/%2/%3: %4 files, %5"_s.arg(
        m_state.prefix, formula.name, formula.version, groupedNumber(keg.files), size(keg.bytes)));
    formula.installedVersions = { formula.version };
    formula.installedTime = QDateTime::currentSecsSinceEpoch();
    return saveState();
}

bool FakeBrewCli::runCleanup(const QString &name, const QStringList &oldVersions)
{
    const QString noCleanup = m_environment.value(u"HOMEBREW_NO_INSTALL_CLEANUP"_s);
    if (!noCleanup.isEmpty() && noCleanup != u"0"_s)
        return false;
    out(u"==> Running `brew cleanup %1`..."_s.arg(name));
    if (showHints()) {
        out(u"Disable this behaviour by setting `HOMEBREW_NO_INSTALL_CLEANUP=1`."_s);
        out(u"Hide these hints with `HOMEBREW_NO_ENV_HINTS=1` (see `man brew`)."_s);
    }
    for (const QString &old : oldVersions) {
        const KegSize keg = kegSize(name, old);
        out(u"Removing: %1... (%2)"_s.arg(kegPath(name, old), usage(keg.files, keg.bytes)));
    }
    return true;
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
    cask.installedTime = QDateTime::currentSecsSinceEpoch();
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
            m_console.rawOut(buffer);
            buffer.clear();
        }
    }
    m_console.rawOut(buffer);
}

void FakeBrewCli::out(const QString &line)
{
    m_console.out(line);
}

void FakeBrewCli::err(const QString &line)
{
    m_console.err(line);
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

QString FakeBrewCli::size(qint64 bytes) const
{
    return readableSize(bytes, m_state.versionAtLeast(u"5.0.0"_s));
}

QString FakeBrewCli::usage(int files, qint64 bytes) const
{
    return files > 1 ? u"%1 files, %2"_s.arg(groupedNumber(files), size(bytes)) : size(bytes);
}

QString FakeBrewCli::kegPath(const QString &name, const QString &version) const
{
    return u"%1/Cellar/%2/%3"_s.arg(m_state.prefix, name, version);
}

QStringList FakeBrewCli::runtimeClosure(const QString &name) const
{
    QStringList closure;
    QStringList pending{ name };
    while (!pending.isEmpty()) {
        const FakeBrewState::Package *formula = m_state.find(Kind::formula, pending.takeFirst());
        if (!formula)
            continue;
        for (const QString &dependency : formula->dependencies) {
            if (dependency == name || closure.contains(dependency))
                continue;
            closure.append(dependency);
            pending.append(dependency);
        }
    }
    return closure;
}

QStringList FakeBrewCli::caskClosure(const FakeBrewState::Package &cask) const
{
    QStringList closure;
    for (const QString &dependency : cask.dependencies)
        for (const QString &name : QStringList{ dependency } + runtimeClosure(dependency))
            if (!closure.contains(name))
                closure.append(name);
    return closure;
}

QStringList FakeBrewCli::installedDependents(const QStringList &names) const
{
    const auto needsAny = [&](const QStringList &closure) {
        return std::any_of(names.cbegin(), names.cend(), [&](const QString &name) { return closure.contains(name); });
    };
    QStringList dependents;
    for (const FakeBrewState::Package &formula : m_state.formulae)
        if (formula.isInstalled() && !names.contains(formula.name) && needsAny(runtimeClosure(formula.name)))
            dependents.append(FakeBrewState::fullName(formula, Kind::formula));
    for (const FakeBrewState::Package &cask : m_state.casks)
        if (cask.isInstalled() && needsAny(caskClosure(cask)))
            dependents.append(FakeBrewState::fullName(cask, Kind::cask));
    dependents.sort();
    return dependents;
}

QStringList FakeBrewCli::unneededFormulae() const
{
    // Pinned formulae stay: the user asked for exactly that version to remain.
    QSet<QString> needed;
    for (const FakeBrewState::Package &formula : m_state.formulae) {
        if (!formula.isInstalled() || !(formula.installedOnRequest || formula.pinned))
            continue;
        needed.insert(formula.name);
        for (const QString &name : runtimeClosure(formula.name))
            needed.insert(name);
    }
    for (const FakeBrewState::Package &cask : m_state.casks)
        if (cask.isInstalled())
            for (const QString &name : caskClosure(cask))
                needed.insert(name);
    QStringList unneeded;
    for (const FakeBrewState::Package &formula : sortedByName(m_state.formulae))
        if (formula.isInstalled() && !needed.contains(formula.name))
            unneeded.append(formula.name);
    return unneeded;
}

void FakeBrewCli::printAutoremove(const QStringList &names, bool dryRun)
{
    if (names.isEmpty())
        return;
    out(u"==> %1 %2:"_s.arg(dryRun ? u"Would autoremove"_s : u"Autoremoving"_s,
        plural(names.size(), u"unneeded formula"_s, u"unneeded formulae"_s)));
    QStringList fullNames;
    for (const QString &name : names)
        fullNames.append(FakeBrewState::fullName(*m_state.find(Kind::formula, name), Kind::formula));
    fullNames.sort();
    for (const QString &name : std::as_const(fullNames))
        out(name);
    if (dryRun)
        return;
    for (const QString &name : names) {
        stopServiceOf(name);
        FakeBrewState::Package &formula = *m_state.find(Kind::formula, name);
        for (const QString &version : std::as_const(formula.installedVersions)) {
            const KegSize keg = kegSize(name, version);
            out(u"Uninstalling %1... (%2)"_s.arg(kegPath(name, version), usage(keg.files, keg.bytes)));
        }
        formula.installedVersions.clear();
    }
    saveState();
}

void FakeBrewCli::autoremoveAfterUninstall()
{
    const QString off = m_environment.value(u"HOMEBREW_NO_AUTOREMOVE"_s).toLower();
    if (!off.isEmpty() && off != u"0"_s && off != u"false"_s)
        return;
    printAutoremove(unneededFormulae(), false);
}

void FakeBrewCli::stopServiceOf(const QString &name)
{
    if (FakeBrewState::Service *service = m_state.service(name); service && service->isLoaded())
        FakeBrewServices(m_state, m_console, homeFolder(), m_environment).unload(*service);
}

QString FakeBrewCli::machinePath(const QString &path) const
{
    if (path.split(u'/').contains(u".."_s))
        return {};
    if (path.startsWith(u"~/"_s))
        return m_state.home.isEmpty() ? QString() : m_state.home + path.mid(1);
    if (path.startsWith(u'/'))
        return m_state.systemRoot.isEmpty() ? QString() : m_state.systemRoot + path;
    return {};
}

namespace {

bool removePath(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

} // namespace

void FakeBrewCli::removeCaskArtifacts(const FakeBrewState::Package &cask, const QString &version)
{
    const QString caskroom = u"%1/Caskroom/%2/%3/"_s.arg(m_state.prefix, cask.name, version);
    if (const QString app = appName(cask); !app.isEmpty()) {
        out(u"==> Backing up App '%1' to '%2%1'"_s.arg(app, caskroom));
        out(u"==> Removing App '/Applications/%1'"_s.arg(app));
        removePath(machinePath(u"/Applications/"_s + app));
    }
    for (const QString &font : fontNames(cask)) {
        out(u"==> Backing up Font '%1' to '%2%1'"_s.arg(font, caskroom));
        out(u"==> Removing Font '%1/Library/Fonts/%2'"_s.arg(homeFolder(), font));
        removePath(machinePath(u"~/Library/Fonts/"_s + font));
    }
}

void FakeBrewCli::uninstallCask(FakeBrewState::Package &cask, bool zap)
{
    const QString version = cask.currentVersion();
    if (!zap)
        out(u"==> Uninstalling Cask "_s + cask.name);
    removeCaskArtifacts(cask, version);
    if (!zap) {
        out(u"==> Purging files for version %1 of Cask %2"_s.arg(version, cask.name));
    } else {
        if (cask.zap.isEmpty()) {
            err(u"Warning: No zap stanza present for Cask '%1'"_s.arg(cask.name));
        } else {
            out(u"==> Dispatching zap stanza"_s);
            out(u"==> Trashing files:"_s);
            QStringList kept;
            for (const QString &path : std::as_const(cask.zap)) {
                out(path);
                const QString onMachine = machinePath(path);
                if (!onMachine.isEmpty() && QFileInfo::exists(onMachine) && !removePath(onMachine))
                    kept.append(path);
            }
            if (!kept.isEmpty()) {
                err(u"Warning: The following files could not be trashed, please do so manually:"_s);
                for (const QString &path : std::as_const(kept))
                    err(path);
            }
        }
        out(u"==> Removing all staged versions of Cask '%1'"_s.arg(cask.name));
    }
    cask.installedVersions.clear();
    cask.pinned = false;
}

int FakeBrewCli::uninstall(const Options &options)
{
    if (options.names.isEmpty()) {
        err(u"Error: Invalid usage: This command requires at least 1 installed formula or cask argument."_s);
        return 1;
    }
    const bool zap = options.flags.contains(u"--zap"_s);
    if (zap && options.flags.contains(u"--formula"_s)) {
        err(u"Error: Invalid usage: Options --formula and --zap are mutually exclusive."_s);
        return 1;
    }
    const std::optional<Kind> kind = zap ? std::optional(Kind::cask) : onlyKind(options);

    // Every name is checked first: nothing is removed when one of them is wrong.
    QList<Target> targets;
    for (const QString &name : options.names) {
        const FakeBrewState::Package *formula = m_state.find(Kind::formula, name);
        const FakeBrewState::Package *cask = m_state.find(Kind::cask, name);
        if (kind != Kind::cask && formula && formula->isInstalled()) {
            targets.append({ Kind::formula, name });
        } else if (kind != Kind::formula && cask && cask->isInstalled()) {
            targets.append({ Kind::cask, name });
        } else if (kind == Kind::cask || (!formula && cask)) {
            err(cask ? u"Error: Cask '%1' is not installed."_s.arg(name)
                     : u"Error: "_s + unknownPackage(Kind::cask, name));
            return 1;
        } else if (formula) {
            err(u"Error: No such keg: %1/Cellar/%2"_s.arg(m_state.prefix, name));
            return 1;
        } else {
            err(u"Error: No available formula or cask with the name \"%1\"."_s.arg(name));
            return 1;
        }
    }

    if (!options.flags.contains(u"--ignore-dependencies"_s)) {
        QStringList formulae;
        QStringList kegs;
        for (const Target &target : std::as_const(targets)) {
            if (target.kind != Kind::formula)
                continue;
            formulae.append(target.name);
            kegs.append(kegPath(target.name, m_state.find(Kind::formula, target.name)->currentVersion()));
        }
        const QStringList dependents = formulae.isEmpty() ? QStringList() : installedDependents(formulae);
        if (!dependents.isEmpty()) {
            err(u"Error: Refusing to uninstall %1\nbecause %2 required by %3, which %4 currently installed.\n"
                "You can override this and force removal with:\n  brew uninstall --ignore-dependencies %5"_s.arg(
                    sentence(kegs), kegs.size() == 1 ? u"it is"_s : u"they are"_s, sentence(dependents),
                    dependents.size() == 1 ? u"is"_s : u"are"_s, options.names.join(u' ')));
            return 1;
        }
    }

    bool removed = false;
    for (const Target &target : std::as_const(targets)) {
        FakeBrewState::Package &package = *m_state.find(target.kind, target.name);
        const QString fullName = FakeBrewState::fullName(package, target.kind);
        if (package.pinned && (target.kind == Kind::formula || m_state.versionAtLeast(u"5.1.12"_s))) {
            // Homebrew reports this but carries on, and the command still succeeds.
            err(u"Error: %1 is pinned. You must unpin it to uninstall."_s.arg(fullName));
            continue;
        }
        removed = true;
        if (target.kind == Kind::cask) {
            uninstallCask(package, zap);
            continue;
        }
        if (options.flags.contains(u"--force"_s)) {
            stopServiceOf(package.name);
            int files = 0;
            qint64 bytes = 0;
            for (const QString &version : std::as_const(package.installedVersions)) {
                files += kegSize(package.name, version).files;
                bytes += kegSize(package.name, version).bytes;
            }
            out(u"Uninstalling %1... (%2)"_s.arg(package.name, usage(files, bytes)));
            package.installedVersions.clear();
            continue;
        }
        const QString version = package.currentVersion();
        if (package.installedVersions.size() == 1)
            stopServiceOf(package.name);
        const KegSize keg = kegSize(package.name, version);
        out(u"Uninstalling %1... (%2)"_s.arg(kegPath(package.name, version), usage(keg.files, keg.bytes)));
        package.installedVersions.removeLast();
        if (!package.installedVersions.isEmpty()) {
            out(u"%1 %2 %3 still installed."_s.arg(package.name, sentence(package.installedVersions),
                package.installedVersions.size() == 1 ? u"is"_s : u"are"_s));
            out(u"To remove all versions, run:"_s);
            out(u"  brew uninstall --force "_s + package.name);
        }
    }
    if (!saveState())
        return 1;
    if (removed)
        autoremoveAfterUninstall();
    return 0;
}

int FakeBrewCli::reinstall(const Options &options)
{
    const std::optional<QList<Target>> targets = packageArguments(options);
    if (!targets)
        return 1;
    const bool casksPin = m_state.versionAtLeast(u"5.1.12"_s);
    QStringList formulae;
    QStringList casks;
    for (const Target &target : *targets) {
        const FakeBrewState::Package &package = *m_state.find(target.kind, target.name);
        if (!package.isInstalled()) {
            err(target.kind == Kind::formula ? u"Error: No such keg: %1/Cellar/%2"_s.arg(m_state.prefix, target.name)
                                             : u"Error: Cask '%1' is not installed."_s.arg(target.name));
            return 1;
        }
        if (package.pinned && (target.kind == Kind::formula || casksPin)) {
            err(u"Error: %1 is pinned. You must unpin it to reinstall."_s.arg(
                FakeBrewState::fullName(package, target.kind)));
            continue;
        }
        (target.kind == Kind::formula ? formulae : casks).append(target.name);
    }
    if (formulae.isEmpty() && casks.isEmpty())
        return 0;

    // Since 6.0 brew shows its plan first; without a terminal it goes ahead without asking.
    const QString noAsk = m_environment.value(u"HOMEBREW_NO_ASK"_s);
    const bool ask = options.flags.contains(u"--ask"_s)
        || (m_state.versionAtLeast(u"6.0.0"_s) && !options.flags.contains(u"--no-ask"_s)
            && !options.flags.contains(u"--yes"_s) && (noAsk.isEmpty() || noAsk == u"0"_s));
    if (ask && !formulae.isEmpty()) {
        out(u"==> Would reinstall %1:"_s.arg(plural(formulae.size(), u"formula"_s, u"formulae"_s)));
        for (const QString &name : std::as_const(formulae))
            out(name);
    }
    if (ask && !casks.isEmpty()) {
        out(u"==> Would reinstall %1:"_s.arg(plural(casks.size(), u"cask"_s, u"casks"_s)));
        for (const QString &name : std::as_const(casks))
            out(name);
    }
    const QString fetching = u"==> Fetching downloads for: "_s + sentence(formulae + casks);
    if (m_state.versionAtLeast(u"6.0.16"_s))
        err(fetching);
    else
        out(fetching);
    if (m_state.versionAtLeast(u"5.0.0"_s)) {
        for (const QString &name : std::as_const(formulae))
            err(u"✔︎ Bottle %1 (%2)"_s.arg(name, m_state.find(Kind::formula, name)->version));
        for (const QString &name : std::as_const(casks))
            err(u"✔︎ Cask %1 (%2)"_s.arg(name, m_state.find(Kind::cask, name)->version));
    }
    bool ok = true;
    for (const QString &name : std::as_const(formulae))
        ok = reinstallFormula(*m_state.find(Kind::formula, name)) && ok;
    for (const QString &name : std::as_const(casks))
        ok = reinstallCask(*m_state.find(Kind::cask, name)) && ok;
    return ok ? 0 : 1;
}

bool FakeBrewCli::reinstallFormula(FakeBrewState::Package &formula)
{
    // The title is the name and the options it was built with; there are none, hence the space.
    out(u"==> Reinstalling %1 "_s.arg(FakeBrewState::fullName(formula, Kind::formula)));
    QStringList older = formula.installedVersions;
    older.removeAll(formula.version);
    if (!pour(formula))
        return false;
    if (!runCleanup(formula.name, older)) {
        formula.installedVersions = older + QStringList{ formula.version };
        return saveState();
    }
    return true;
}

bool FakeBrewCli::reinstallCask(FakeBrewState::Package &cask)
{
    if (cask.fails) {
        err(u"Error: "_s + failureText(cask, Kind::cask));
        return false;
    }
    const QString version = cask.currentVersion();
    out(u"==> Uninstalling Cask "_s + cask.name);
    removeCaskArtifacts(cask, version);
    out(u"==> Purging files for version %1 of Cask %2"_s.arg(version, cask.name));
    cask.installedVersions.clear();
    return installCask(cask);
}

int FakeBrewCli::pin(const Options &options, bool pinning)
{
    const bool casks = m_state.versionAtLeast(u"5.1.12"_s);
    if (options.names.isEmpty()) {
        err(casks ? u"Error: Invalid usage: This command requires at least 1 installed formula or cask argument."_s
                  : u"Error: Invalid usage: This command requires at least 1 installed formula argument."_s);
        return 1;
    }
    const std::optional<Kind> kind = onlyKind(options);
    QList<std::pair<Kind, FakeBrewState::Package *>> packages;
    for (const QString &name : options.names) {
        FakeBrewState::Package *formula = kind == Kind::cask ? nullptr : m_state.find(Kind::formula, name);
        FakeBrewState::Package *cask = !casks || kind == Kind::formula ? nullptr : m_state.find(Kind::cask, name);
        if (formula) {
            packages.append({ Kind::formula, formula });
        } else if (cask) {
            packages.append({ Kind::cask, cask });
        } else {
            err(u"Error: "_s + unknownPackage(kind.value_or(Kind::formula), name));
            return 1;
        }
    }
    int status = 0;
    for (const auto &[k, package] : std::as_const(packages)) {
        // Full names since 5.1.12, when casks joined in.
        const QString name = casks ? FakeBrewState::fullName(*package, k) : package->name;
        if (!package->isInstalled()) {
            err(u"Error: %1 not installed"_s.arg(name));
            if (pinning)
                status = 1;
        } else if (pinning && package->pinned) {
            err(u"Warning: %1 already pinned"_s.arg(name));
        } else if (!pinning && !package->pinned) {
            err(u"Warning: %1 not pinned"_s.arg(name));
        } else {
            package->pinned = pinning;
            if (pinning && k == Kind::cask && package->autoUpdates)
                err(u"Warning: %1 has `auto_updates true` and may update itself outside Homebrew despite being pinned."_s
                        .arg(name));
        }
    }
    return saveState() ? status : 1;
}

int FakeBrewCli::listPinned(const Options &options)
{
    const bool casks = m_state.versionAtLeast(u"5.1.12"_s);
    QList<std::pair<QString, QString>> pinned; // name, version
    int status = 0;
    for (const QString &name : options.names) {
        const FakeBrewState::Package *package = m_state.find(Kind::formula, name);
        if (!package && casks)
            package = m_state.find(Kind::cask, name);
        if (!package || !package->isInstalled())
            status = 1;
        else if (!package->pinned)
            err(u"Warning: %1 not pinned"_s.arg(name));
    }
    for (const Kind k : { Kind::formula, Kind::cask }) {
        if (k == Kind::cask && !casks)
            continue;
        for (const FakeBrewState::Package &package : m_state.packages(k))
            if (package.isInstalled() && package.pinned
                && (options.names.isEmpty() || options.names.contains(package.name)))
                pinned.append({ FakeBrewState::fullName(package, k), package.currentVersion() });
    }
    std::sort(pinned.begin(), pinned.end());
    for (const auto &[name, version] : std::as_const(pinned))
        out(options.flags.contains(u"--versions"_s) ? name + u' ' + version : name);
    return status;
}

int FakeBrewCli::uses(const Options &options)
{
    if (!options.flags.contains(u"--installed"_s)) {
        err(u"Error: Invalid usage: `brew uses` needs `--installed`, `HOMEBREW_REQUIRE_TAP_TRUST=1` or "
            "`HOMEBREW_NO_REQUIRE_TAP_TRUST=1` set!"_s);
        return 1;
    }
    if (options.names.isEmpty()) {
        err(u"Error: Invalid usage: This command requires at least 1 formula argument."_s);
        return 1;
    }
    bool missing = false;
    std::optional<QStringList> users;
    for (const QString &name : options.names) {
        if (!m_state.find(Kind::formula, name)) {
            err(u"Warning: No available formula with the name \"%1\"."_s.arg(name));
            missing = true;
        }
        // Packages that use every one of the names.
        const QStringList dependents = installedDependents({ name });
        if (!users) {
            users = dependents;
            continue;
        }
        users->erase(std::remove_if(
                         users->begin(), users->end(), [&](const QString &user) { return !dependents.contains(user); }),
            users->end());
    }
    if (missing && !users->isEmpty()) {
        err(u"Error: Missing formulae should not have dependents!"_s);
        return 1;
    }
    for (const QString &user : std::as_const(*users))
        out(user);
    return 0;
}

int FakeBrewCli::leaves(const Options &options)
{
    const bool onRequest = options.flags.contains(u"--installed-on-request"_s);
    const bool asDependency = options.flags.contains(u"--installed-as-dependency"_s);
    if (onRequest && asDependency) {
        err(u"Error: Invalid usage: Options --installed-on-request and --installed-as-dependency are mutually "
            "exclusive."_s);
        return 1;
    }
    QSet<QString> needed;
    for (const FakeBrewState::Package &formula : m_state.formulae)
        if (formula.isInstalled())
            for (const QString &name : runtimeClosure(formula.name))
                needed.insert(name);
    for (const FakeBrewState::Package &cask : m_state.casks)
        if (cask.isInstalled())
            for (const QString &name : caskClosure(cask))
                needed.insert(name);
    QStringList leaves;
    for (const FakeBrewState::Package &formula : m_state.formulae) {
        if (!formula.isInstalled() || needed.contains(formula.name))
            continue;
        if ((onRequest && !formula.installedOnRequest) || (asDependency && formula.installedOnRequest))
            continue;
        leaves.append(FakeBrewState::fullName(formula, Kind::formula));
    }
    leaves.sort();
    for (const QString &leaf : std::as_const(leaves))
        out(leaf);
    return 0;
}

int FakeBrewCli::autoremove(const Options &options)
{
    printAutoremove(unneededFormulae(), options.flags.contains(u"--dry-run"_s));
    return 0;
}

int FakeBrewCli::cleanup(const Options &options)
{
    const bool dryRun = options.flags.contains(u"--dry-run"_s);
    int days = options.flags.contains(u"--scrub"_s) ? 0 : 120;
    if (options.values.contains(u"--prune"_s)) {
        const QString prune = options.values.value(u"--prune"_s);
        bool ok = false;
        days = prune == u"all"_s ? 0 : prune.toInt(&ok);
        if (prune != u"all"_s && (!ok || days < 0)) {
            err(u"Error: Invalid usage: `--prune` expects an integer or `all`."_s);
            return 1;
        }
    }
    const auto wanted = [&](const QString &name) { return options.names.isEmpty() || options.names.contains(name); };
    qint64 total = 0;
    for (FakeBrewState::Package &formula : m_state.formulae) {
        if (formula.installedVersions.size() < 2 || !wanted(formula.name))
            continue;
        const QStringList old = formula.installedVersions.first(formula.installedVersions.size() - 1);
        for (const QString &version : old) {
            if (formula.pinned) {
                err(u"Warning: Skipping (old) %1 due to it being pinned"_s.arg(kegPath(formula.name, version)));
                continue;
            }
            const KegSize keg = kegSize(formula.name, version);
            out(dryRun ? u"Would remove: %1 (%2)"_s.arg(kegPath(formula.name, version), usage(keg.files, keg.bytes))
                       : u"Removing: %1... (%2)"_s.arg(kegPath(formula.name, version), usage(keg.files, keg.bytes)));
            total += keg.bytes;
        }
        if (!dryRun && !formula.pinned)
            formula.installedVersions = { formula.currentVersion() };
    }
    QList<FakeBrewState::Download> kept;
    for (const FakeBrewState::Download &download : std::as_const(m_state.downloads)) {
        const bool named = options.names.isEmpty()
            || std::any_of(options.names.cbegin(), options.names.cend(),
                [&](const QString &name) { return download.file.startsWith(name + u"--"_s); });
        if (!named || download.ageDays < days) {
            kept.append(download);
            continue;
        }
        const QString path = homeFolder() + u"/Library/Caches/Homebrew/"_s + download.file;
        out(dryRun ? u"Would remove: %1 (%2)"_s.arg(path, size(download.bytes))
                   : u"Removing: %1... (%2)"_s.arg(path, size(download.bytes)));
        total += download.bytes;
    }
    if (!dryRun)
        m_state.downloads = kept;
    if (options.names.isEmpty())
        printAutoremove(unneededFormulae(), dryRun);
    if (total > 0)
        out(u"==> This operation %1 approximately %2 of disk space."_s.arg(
            dryRun ? u"would free"_s : u"has freed"_s, size(total)));
    return dryRun || saveState() ? 0 : 1;
}

int FakeBrewCli::services(const QStringList &arguments)
{
    const int status = FakeBrewServices(m_state, m_console, homeFolder(), m_environment).run(arguments);
    return saveState() ? status : 1;
}

int FakeBrewCli::bundle(const QStringList &arguments)
{
    // Only installing needs fresh formulae; a dump to standard output must stay clean.
    if (!arguments.contains(u"dump"_s) && !arguments.contains(u"check"_s))
        autoUpdate();
    const FakeBrewBundle::Installer installer
        = [this](Kind kind, const QString &name) { return installQuietly(kind, name); };
    const int status = FakeBrewBundle(m_state, m_console, homeFolder(), m_environment, installer).run(arguments);
    return saveState() ? status : 1;
}

bool FakeBrewCli::installQuietly(Kind kind, const QString &name)
{
    FakeBrewState::Package *package = m_state.find(kind, name);
    if (!package || !package->inCatalog) {
        err(u"Error: "_s + unknownPackage(kind, name));
        return false;
    }
    if (kind == Kind::formula)
        return package->isInstalled() ? upgradeFormula(name) : installFormula(name);
    return package->isInstalled() ? upgradeCask(*package) : installCask(*package);
}

namespace {

QString sha256(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// A receipt time for kegs the state gives none: fixed per package, some months back.
qint64 kegTime(const FakeBrewState::Package &package, qsizetype fromNewest)
{
    const qint64 newest = package.installedTime > 0
        ? package.installedTime
        : 1748736000 - static_cast<qint64>(stableHash(package.name) % (180u * 86400u));
    return newest - fromNewest * 45 * 86400;
}

} // namespace

int FakeBrewCli::info(const Options &options)
{
    if (options.json != u"v2"_s && options.json != u"v1"_s) {
        err(u"Error: Invalid usage: The fake brew prints `info` only as JSON (`--json=v2`)."_s);
        return 1;
    }
    const bool everything = options.flags.contains(u"--eval-all"_s);
    if (options.names.isEmpty() && !options.flags.contains(u"--installed"_s) && !everything) {
        err(u"Error: Invalid usage: `brew info --json` needs named arguments, `--installed` or `--eval-all`."_s);
        return 1;
    }
    const std::optional<Kind> kind = onlyKind(options);
    if (options.json == u"v1"_s && kind == Kind::cask) {
        err(u"Error: Invalid usage: Cannot specify `--cask` when using `--json=v1`!"_s);
        return 1;
    }
    QList<const FakeBrewState::Package *> formulae;
    QList<const FakeBrewState::Package *> casks;
    if (!options.names.isEmpty()) {
        for (const QString &name : options.names) {
            const FakeBrewState::Package *formula = kind == Kind::cask ? nullptr : m_state.find(Kind::formula, name);
            const FakeBrewState::Package *cask = kind == Kind::formula ? nullptr : m_state.find(Kind::cask, name);
            // Installed packages that left the catalog still have their receipts.
            const auto known = [](const FakeBrewState::Package *p) { return p && (p->inCatalog || p->isInstalled()); };
            if (known(formula))
                formulae.append(formula);
            else if (known(cask))
                casks.append(cask);
            else {
                err(u"Error: "_s + unknownPackage(kind.value_or(Kind::formula), name));
                return 1;
            }
        }
    } else {
        for (const FakeBrewState::Package &formula : m_state.formulae)
            if (kind != Kind::cask && (formula.isInstalled() || (everything && formula.inCatalog)))
                formulae.append(&formula);
        for (const FakeBrewState::Package &cask : m_state.casks)
            if (kind != Kind::formula && (cask.isInstalled() || (everything && cask.inCatalog)))
                casks.append(&cask);
    }
    std::sort(formulae.begin(), formulae.end(), [](const auto *a, const auto *b) { return a->name < b->name; });
    std::sort(casks.begin(), casks.end(), [](const auto *a, const auto *b) {
        return FakeBrewState::fullName(*a, Kind::cask) < FakeBrewState::fullName(*b, Kind::cask);
    });

    const bool v51 = m_state.versionAtLeast(u"5.1.0"_s);
    const bool receiptsKnowDependencyInstalls = !m_state.versionAtLeast(u"5.1.9"_s);
    QList<PrettyJson> formulaItems;
    for (const FakeBrewState::Package *formula : std::as_const(formulae)) {
        const QString name = formula->name;
        QList<PrettyJson> dependencies;
        for (const QString &dependency : runtimeClosure(name)) {
            const FakeBrewState::Package *package = m_state.find(Kind::formula, dependency);
            const QString version = package->isInstalled() ? package->currentVersion() : package->version;
            dependencies.append(PrettyJson::object({
                { u"full_name"_s, PrettyJson::string(FakeBrewState::fullName(*package, Kind::formula)) },
                { u"version"_s, PrettyJson::string(version) },
                { u"revision"_s, PrettyJson::number(0) },
                { u"bottle_rebuild"_s, PrettyJson::number(0) },
                { u"pkg_version"_s, PrettyJson::string(version) },
                { u"declared_directly"_s, PrettyJson::boolean(formula->dependencies.contains(dependency)) },
            }));
        }
        QList<PrettyJson> kegs;
        for (qsizetype i = 0; i < formula->installedVersions.size(); ++i) {
            QList<PrettyJson::Member> keg{
                { u"version"_s, PrettyJson::string(formula->installedVersions.at(i)) },
                { u"used_options"_s, PrettyJson::array({}) },
                { u"built_as_bottle"_s, PrettyJson::boolean(true) },
                { u"poured_from_bottle"_s, PrettyJson::boolean(true) },
                { u"time"_s, PrettyJson::number(kegTime(*formula, formula->installedVersions.size() - 1 - i)) },
                { u"runtime_dependencies"_s, PrettyJson::array(dependencies) },
            };
            if (receiptsKnowDependencyInstalls)
                keg.append({ u"installed_as_dependency"_s, PrettyJson::boolean(!formula->installedOnRequest) });
            keg.append({ u"installed_on_request"_s, PrettyJson::boolean(formula->installedOnRequest) });
            kegs.append(PrettyJson::object(keg));
        }
        PrettyJson service = PrettyJson::null();
        if (const FakeBrewState::Service *entry = m_state.service(name)) {
            const QString runType = entry->interval > 0 ? u"interval"_s
                : entry->cron.isEmpty()                 ? u"immediate"_s
                                                        : u"cron"_s;
            service = PrettyJson::object({
                { u"run"_s, PrettyJson::strings({ m_state.prefix + u"/opt/"_s + name + u"/bin/"_s + name }) },
                { u"run_type"_s, PrettyJson::string(runType) },
            });
        }
        const QString tap = formula->tap.isEmpty() ? u"homebrew/core"_s : formula->tap;
        QList<PrettyJson::Member> members{
            { u"name"_s, PrettyJson::string(name) },
            { u"full_name"_s, PrettyJson::string(FakeBrewState::fullName(*formula, Kind::formula)) },
            { u"tap"_s, PrettyJson::string(tap) },
            { u"oldnames"_s, PrettyJson::array({}) },
            { u"aliases"_s, PrettyJson::array({}) },
            { u"versioned_formulae"_s, PrettyJson::array({}) },
            { u"desc"_s, PrettyJson::optionalString(formula->desc) },
            { u"license"_s, PrettyJson::null() },
            { u"homepage"_s, PrettyJson::string(u"https://formulae.brew.sh/formula/"_s + name) },
            { u"versions"_s,
                PrettyJson::object({ { u"stable"_s, PrettyJson::string(formula->version) },
                    { u"head"_s, PrettyJson::null() }, { u"bottle"_s, PrettyJson::boolean(true) } }) },
            { u"urls"_s,
                PrettyJson::object({ { u"stable"_s,
                    PrettyJson::object(
                        { { u"url"_s,
                              PrettyJson::string(u"https://example.org/%1-%2.tar.gz"_s.arg(name, formula->version)) },
                            { u"tag"_s, PrettyJson::null() }, { u"revision"_s, PrettyJson::null() },
                            { u"using"_s, PrettyJson::null() },
                            { u"checksum"_s, PrettyJson::string(sha256(name + formula->version)) } }) } }) },
        };
        if (v51)
            members.append({ u"patches"_s, PrettyJson::array({}) });
        members += QList<PrettyJson::Member>{
            { u"revision"_s, PrettyJson::number(0) },
            { u"version_scheme"_s, PrettyJson::number(0) },
            { u"compatibility_version"_s, PrettyJson::null() },
            { u"autobump"_s, PrettyJson::boolean(true) },
            { u"no_autobump_message"_s, PrettyJson::null() },
            { u"skip_livecheck"_s, PrettyJson::boolean(false) },
            { u"bottle"_s, PrettyJson::object({}) },
            { u"pour_bottle_only_if"_s, PrettyJson::null() },
            { u"keg_only"_s, PrettyJson::boolean(false) },
            { u"keg_only_reason"_s, PrettyJson::null() },
            { u"options"_s, PrettyJson::array({}) },
            { u"build_dependencies"_s, PrettyJson::array({}) },
            { u"dependencies"_s, PrettyJson::strings(formula->dependencies) },
            { u"test_dependencies"_s, PrettyJson::array({}) },
            { u"recommended_dependencies"_s, PrettyJson::array({}) },
            { u"optional_dependencies"_s, PrettyJson::array({}) },
            { u"uses_from_macos"_s, PrettyJson::array({}) },
            { u"uses_from_macos_bounds"_s, PrettyJson::array({}) },
            { u"requirements"_s, PrettyJson::array({}) },
            { u"conflicts_with"_s, PrettyJson::array({}) },
            { u"conflicts_with_reasons"_s, PrettyJson::array({}) },
            { u"link_overwrite"_s, PrettyJson::array({}) },
            { u"caveats"_s, PrettyJson::null() },
            { u"installed"_s, PrettyJson::array(kegs) },
            { u"linked_keg"_s, PrettyJson::optionalString(formula->currentVersion()) },
            { u"pinned"_s, PrettyJson::boolean(formula->pinned && formula->isInstalled()) },
            { u"outdated"_s, PrettyJson::boolean(formula->isOutdated()) },
            { u"deprecated"_s, PrettyJson::boolean(false) },
            { u"deprecation_date"_s, PrettyJson::null() },
            { u"deprecation_reason"_s, PrettyJson::null() },
            { u"deprecation_replacement_formula"_s, PrettyJson::null() },
            { u"deprecation_replacement_cask"_s, PrettyJson::null() },
        };
        if (m_state.versionAtLeast(u"5.0.0"_s))
            members.append({ u"deprecate_args"_s, PrettyJson::null() });
        members += QList<PrettyJson::Member>{
            { u"disabled"_s, PrettyJson::boolean(false) },
            { u"disable_date"_s, PrettyJson::null() },
            { u"disable_reason"_s, PrettyJson::null() },
            { u"disable_replacement_formula"_s, PrettyJson::null() },
            { u"disable_replacement_cask"_s, PrettyJson::null() },
        };
        if (m_state.versionAtLeast(u"5.0.0"_s))
            members.append({ u"disable_args"_s, PrettyJson::null() });
        if (v51)
            members.append({ u"post_install_steps"_s, PrettyJson::array({}) });
        members += QList<PrettyJson::Member>{
            { u"post_install_defined"_s, PrettyJson::boolean(false) },
            { u"service"_s, service },
            { u"tap_git_head"_s, PrettyJson::null() },
            { u"ruby_source_path"_s, PrettyJson::string(u"Formula/%1/%2.rb"_s.arg(name.left(1), name)) },
            { u"ruby_source_checksum"_s,
                PrettyJson::object({ { u"sha256"_s, PrettyJson::string(sha256(u"formula "_s + name)) } }) },
        };
        formulaItems.append(PrettyJson::object(members));
    }
    if (options.json == u"v1"_s) {
        out(PrettyJson::array(formulaItems).toString());
        return 0;
    }

    const bool pinnable = m_state.versionAtLeast(u"5.1.12"_s);
    QList<PrettyJson> caskItems;
    for (const FakeBrewState::Package *cask : std::as_const(casks)) {
        const QString token = cask->name;
        QList<PrettyJson> artifacts;
        const bool targets = m_state.versionAtLeast(u"5.1.13"_s);
        if (const QString app = appName(*cask); !app.isEmpty()) {
            QList<PrettyJson::Member> artifact{ { u"app"_s, PrettyJson::strings({ app }) } };
            if (targets)
                artifact.append({ u"target"_s, PrettyJson::string(u"/Applications/"_s + app) });
            artifacts.append(PrettyJson::object(artifact));
        }
        for (const QString &font : fontNames(*cask)) {
            QList<PrettyJson::Member> artifact{ { u"font"_s, PrettyJson::strings({ font }) } };
            if (targets)
                artifact.append({ u"target"_s, PrettyJson::string(homeFolder() + u"/Library/Fonts/"_s + font) });
            artifacts.append(PrettyJson::object(artifact));
        }
        if (!cask->zap.isEmpty())
            artifacts.append(PrettyJson::object({ { u"zap"_s,
                PrettyJson::array({ PrettyJson::object({ { u"trash"_s, PrettyJson::strings(cask->zap) } }) }) } }));
        QString displayName = cask->displayName;
        if (displayName.isEmpty())
            displayName = appName(*cask).isEmpty() ? token : appName(*cask).chopped(4);
        const bool installed = cask->isInstalled();
        QList<PrettyJson::Member> members{
            { u"token"_s, PrettyJson::string(token) },
            { u"full_token"_s, PrettyJson::string(FakeBrewState::fullName(*cask, Kind::cask)) },
            { u"old_tokens"_s, PrettyJson::array({}) },
            { u"tap"_s, PrettyJson::string(cask->tap.isEmpty() ? u"homebrew/cask"_s : cask->tap) },
            { u"name"_s, PrettyJson::strings({ displayName }) },
            { u"desc"_s, PrettyJson::optionalString(cask->desc) },
            { u"homepage"_s, PrettyJson::string(u"https://formulae.brew.sh/cask/"_s + token) },
            { u"url"_s, PrettyJson::string(u"https://example.org/%1-%2.dmg"_s.arg(token, cask->version)) },
            { u"url_specs"_s, PrettyJson::object({}) },
            { u"version"_s, PrettyJson::string(cask->version) },
            { u"autobump"_s, PrettyJson::boolean(true) },
            { u"no_autobump_message"_s, PrettyJson::null() },
            { u"skip_livecheck"_s, PrettyJson::boolean(false) },
            { u"installed"_s, PrettyJson::optionalString(cask->currentVersion()) },
            { u"installed_time"_s, installed ? PrettyJson::number(kegTime(*cask, 0)) : PrettyJson::null() },
            { u"bundle_version"_s, PrettyJson::null() },
            { u"bundle_short_version"_s, PrettyJson::null() },
        };
        if (pinnable) {
            const bool pinned = installed && cask->pinned;
            members.append({ u"pinned"_s, PrettyJson::boolean(pinned) });
            members.append(
                { u"pinned_version"_s, pinned ? PrettyJson::string(cask->currentVersion()) : PrettyJson::null() });
        }
        members += QList<PrettyJson::Member>{
            { u"outdated"_s, PrettyJson::boolean(cask->isOutdated() && !cask->autoUpdates) },
            { u"sha256"_s, PrettyJson::string(sha256(token + cask->version)) },
            { u"artifacts"_s, PrettyJson::array(artifacts) },
            { u"caveats"_s, PrettyJson::null() },
        };
        if (m_state.versionAtLeast(u"5.1.2"_s))
            members.append({ u"caveats_rosetta"_s, PrettyJson::null() });
        members += QList<PrettyJson::Member>{
            { u"depends_on"_s, PrettyJson::object({}) },
            { u"conflicts_with"_s, PrettyJson::null() },
            { u"container"_s, PrettyJson::null() },
            { u"rename"_s, PrettyJson::array({}) },
            { u"auto_updates"_s, cask->autoUpdates ? PrettyJson::boolean(true) : PrettyJson::null() },
            { u"deprecated"_s, PrettyJson::boolean(false) },
            { u"deprecation_date"_s, PrettyJson::null() },
            { u"deprecation_reason"_s, PrettyJson::null() },
            { u"deprecation_replacement_formula"_s, PrettyJson::null() },
            { u"deprecation_replacement_cask"_s, PrettyJson::null() },
        };
        if (v51)
            members.append({ u"deprecate_args"_s, PrettyJson::null() });
        members += QList<PrettyJson::Member>{
            { u"disabled"_s, PrettyJson::boolean(false) },
            { u"disable_date"_s, PrettyJson::null() },
            { u"disable_reason"_s, PrettyJson::null() },
            { u"disable_replacement_formula"_s, PrettyJson::null() },
            { u"disable_replacement_cask"_s, PrettyJson::null() },
        };
        if (v51)
            members.append({ u"disable_args"_s, PrettyJson::null() });
        members += QList<PrettyJson::Member>{
            { u"tap_git_head"_s, PrettyJson::null() },
            { u"languages"_s, PrettyJson::array({}) },
            { u"ruby_source_path"_s, PrettyJson::string(u"Casks/%1/%2.rb"_s.arg(token.left(1), token)) },
            { u"ruby_source_checksum"_s,
                PrettyJson::object({ { u"sha256"_s, PrettyJson::string(sha256(u"cask "_s + token)) } }) },
        };
        caskItems.append(PrettyJson::object(members));
    }
    out(PrettyJson::object(
        { { u"formulae"_s, PrettyJson::array(formulaItems) }, { u"casks"_s, PrettyJson::array(caskItems) } })
            .toString());
    return 0;
}

} // namespace fakebrew

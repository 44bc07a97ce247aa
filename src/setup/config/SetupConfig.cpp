#include "setup/config/SetupConfig.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Logging.h"
#include "platform/Platform.h"
#include "setup/config/Zshrc.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

QList<KeyValue> rows(std::initializer_list<std::pair<QString, QString>> pairs)
{
    QList<KeyValue> result;
    for (const auto &[key, value] : pairs)
        result.append(KeyValue::make(key, value));
    return result;
}

SetupConfig makeDefaults()
{
    SetupConfig config;
    config.plugins
        = { u"git"_s, u"docker"_s, u"kubectl"_s, u"fzf"_s, u"zsh-autosuggestions"_s, u"zsh-syntax-highlighting"_s,
              u"colored-man-pages"_s, u"colorize"_s, u"brew"_s, u"ssh-agent"_s, u"pip"_s, u"python"_s };
    config.p10kStyle = u"classic"_s;
    config.aliases = rows({
        { u"ll"_s, u"ls -la"_s },
        { u"la"_s, u"ls -a"_s },
        { u"lt"_s, u"ls -ltra"_s },
        { u"gs"_s, u"git status"_s },
        { u"gp"_s, u"git pull"_s },
        { u"gc"_s, u"git commit"_s },
        { u"gco"_s, u"git checkout"_s },
        { u"gd"_s, u"git diff"_s },
        { u"k"_s, u"kubectl"_s },
        { u"kgp"_s, u"kubectl get pods"_s },
        { u"kgs"_s, u"kubectl get svc"_s },
        { u"dc"_s, u"docker-compose"_s },
    });
    config.environment = rows({
        { u"EDITOR"_s, u"vim"_s },
        { u"VISUAL"_s, u"code"_s },
        { u"LANG"_s, u"en_US.UTF-8"_s },
        { u"LC_ALL"_s, u"en_US.UTF-8"_s },
    });
    config.backupDotfiles = true;
    config.gitAliases = rows({
        { u"st"_s, u"status"_s },
        { u"co"_s, u"checkout"_s },
        { u"br"_s, u"branch"_s },
        { u"ci"_s, u"commit"_s },
        { u"unstage"_s, u"reset HEAD --"_s },
        { u"last"_s, u"log -1 HEAD"_s },
        { u"lg"_s, u"log --oneline --graph --decorate"_s },
    });
    config.gitSettings = rows({
        { u"init.defaultBranch"_s, u"main"_s },
        { u"pull.rebase"_s, u"true"_s },
        { u"push.autoSetupRemote"_s, u"true"_s },
        { u"core.editor"_s, u"code --wait"_s },
    });
    config.sshKeyType = u"ed25519"_s;
    config.sshKeyFile = u"~/.ssh/id_ed25519"_s;
    return config;
}

// --- Encoding ---

QJsonArray encodeRows(const QList<KeyValue> &list)
{
    QJsonArray array;
    for (const KeyValue &row : list) {
        array.append(QJsonObject{
            { u"id"_s, row.id.toString(QUuid::WithoutBraces).toUpper() },
            { u"key"_s, row.key },
            { u"value"_s, row.value },
        });
    }
    return array;
}

// --- Strict decoding: each reader fails the whole document on a missing key or a wrong type ---

struct Reader {
    const QJsonObject &object;
    bool ok = true;

    QJsonValue take(QLatin1StringView key)
    {
        const auto it = object.constFind(key);
        if (it == object.constEnd()) {
            ok = false;
            return {};
        }
        return *it;
    }

    QString string(QLatin1StringView key)
    {
        const QJsonValue value = take(key);
        if (!value.isString())
            ok = false;
        return value.toString();
    }

    bool boolean(QLatin1StringView key)
    {
        const QJsonValue value = take(key);
        if (!value.isBool())
            ok = false;
        return value.toBool();
    }

    int integer(QLatin1StringView key)
    {
        const QJsonValue value = take(key);
        const double number = value.toDouble();
        if (!value.isDouble() || std::trunc(number) != number || number < std::numeric_limits<int>::min()
            || number > std::numeric_limits<int>::max()) {
            ok = false;
            return 0;
        }
        return int(number);
    }

    QJsonObject nested(QLatin1StringView key)
    {
        const QJsonValue value = take(key);
        if (!value.isObject())
            ok = false;
        return value.toObject();
    }

    QStringList strings(QLatin1StringView key)
    {
        const QJsonValue value = take(key);
        if (!value.isArray())
            ok = false;
        QStringList result;
        for (const QJsonValue item : value.toArray()) {
            if (!item.isString())
                ok = false;
            result.append(item.toString());
        }
        return result;
    }

    QList<KeyValue> keyValues(QLatin1StringView key)
    {
        static const QRegularExpression uuidText(
            u"^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"_s);
        const QJsonValue value = take(key);
        if (!value.isArray())
            ok = false;
        QList<KeyValue> result;
        for (const QJsonValue item : value.toArray()) {
            if (!item.isObject()) {
                ok = false;
                continue;
            }
            const QJsonObject rowObject = item.toObject();
            Reader row{ rowObject };
            const QString id = row.string("id"_L1);
            KeyValue entry{ QUuid::fromString(id), row.string("key"_L1), row.string("value"_L1) };
            if (!row.ok || !uuidText.match(id).hasMatch())
                ok = false;
            result.append(entry);
        }
        return result;
    }
};

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(u"yyyyMMdd_HHmmss"_s);
}

// Moves a config.json that load() would reject out of the way before it is replaced.
void keepRejectedFile(const QString &path)
{
    const QString base = path + ".rejected-"_L1 + timeStamp();
    QString target = base;
    for (int n = 2; Files::exists(target); ++n)
        target = base + u'-' + QString::number(n);
    try {
        Files::move(path, target);
    } catch (const Error &error) {
        // Replacing it now would lose what the user had: say so and keep it.
        throw FileError(path,
            u"It holds settings this version cannot read, and it could not be set aside (%1), so it was not replaced."_s
                .arg(error.description()));
    }
}

} // namespace

const SetupConfig &SetupConfig::defaults()
{
    static const SetupConfig config = makeDefaults();
    return config;
}

const QMap<QString, QUrl> &SetupConfig::pluginSources()
{
    static const QMap<QString, QUrl> sources{
        { u"zsh-autosuggestions"_s, QUrl(u"https://github.com/zsh-users/zsh-autosuggestions"_s) },
        { u"zsh-syntax-highlighting"_s, QUrl(u"https://github.com/zsh-users/zsh-syntax-highlighting"_s) },
    };
    return sources;
}

const QList<SetupConfig::P10kStyle> &SetupConfig::p10kStyles()
{
    static const QList<P10kStyle> styles{
        { QString(), u"Skip"_s, u"Don't write ~/.p10k.zsh (run `p10k configure` later)"_s },
        { u"lean"_s, u"Lean"_s, u"Minimal, no icons"_s },
        { u"classic"_s, u"Classic"_s, u"Traditional prompt with icons"_s },
        { u"rainbow"_s, u"Rainbow"_s, u"Colorful with icons"_s },
        { u"pure"_s, u"Pure"_s, u"Minimalist, inspired by the Pure prompt (sindresorhus/pure)"_s },
    };
    return styles;
}

const QList<SetupConfig::ViewStyle> &SetupConfig::viewStyles()
{
    static const QList<ViewStyle> styles{
        { QString(), u"Leave unchanged"_s },
        { u"icon"_s, u"Icons"_s },
        { u"list"_s, u"List"_s },
        { u"column"_s, u"Columns"_s },
        { u"gallery"_s, u"Gallery"_s },
    };
    return styles;
}

QString SetupConfig::fileURL()
{
    const QString folder = Platform::current().appSupportDir() + "/quillrig-gui"_L1;
    try {
        Files::createDirectories(folder);
    } catch (const Error &) {
        // Saving reports nothing either; the write that follows fails on its own.
    }
    return folder + "/config.json"_L1;
}

SetupConfig SetupConfig::load()
{
    if (const std::optional<QByteArray> bytes = Files::read(fileURL())) {
        if (std::optional<SetupConfig> stored = fromJson(*bytes))
            return *stored;
    }
    return takeOverFromZshrc();
}

std::optional<QString> SetupConfig::save() const
{
    try {
        const QString path = fileURL();
        Files::withLock(path, [&] {
            if (Files::exists(path)) {
                const std::optional<QByteArray> current = Files::read(path);
                if (!current || !fromJson(*current))
                    keepRejectedFile(path);
            }
            Files::writeAtomically(path, toJson());
        });
        return std::nullopt;
    } catch (const std::exception &error) {
        // The in-memory configuration stays and the next save retries.
        qCWarning(lcSetup) << "configuration not saved:" << errorText(error);
        return errorText(error);
    }
}

SetupConfig SetupConfig::takeOverFromZshrc()
{
    SetupConfig config = defaults();
    const QString text = Zshrc::read();

    const QStringList lines = text.split(u'\n');
    if (const std::optional<Zshrc::LineRange> range = Zshrc::pluginsRange(lines)) {
        const QStringList names = Zshrc::plugins(lines, *range);
        if (!names.isEmpty())
            config.plugins = names;
    }
    // Lines of the blocks that give no row we could write back stay as extra lines (after what the
    // extras block holds already), so the next apply does not drop them.
    QStringList refused;
    if (const std::optional<QStringList> aliasLines = Zshrc::blockLines(text, Zshrc::aliasesBlock)) {
        const QList<KeyValue> aliases = Zshrc::parseAliases(*aliasLines);
        if (!aliases.isEmpty())
            config.aliases = aliases;
        refused += Zshrc::refusedAliasLines(*aliasLines);
    }
    if (const std::optional<QStringList> exportLines = Zshrc::blockLines(text, Zshrc::environmentBlock)) {
        const QList<KeyValue> environment = Zshrc::parseExports(*exportLines);
        if (!environment.isEmpty())
            config.environment = environment;
        refused += Zshrc::refusedExportLines(*exportLines);
    }
    if (!refused.isEmpty())
        config.zshrcExtras
            = (Zshrc::blockLines(text, Zshrc::extrasBlock).value_or(QStringList()) + refused).join(u'\n');
    return config;
}

QList<DefaultsEntry> SetupConfig::defaultsEntries() const
{
    using Kind = DefaultsEntry::Kind;
    const auto flag = [](bool on) { return on ? u"true"_s : u"false"_s; };
    const auto number = [](int value) { return QString::number(value); };
    const QString dockDomain = u"com.apple.dock"_s;
    const QString finderDomain = u"com.apple.finder"_s;
    const QString global = u"NSGlobalDomain"_s;

    QList<DefaultsEntry> entries{
        { dockDomain, u"autohide"_s, Kind::boolean, flag(dock.autohide) },
        { dockDomain, u"autohide-delay"_s, Kind::floating, number(dock.autohideDelay) },
        { dockDomain, u"tilesize"_s, Kind::integer, number(dock.tileSize) },
        { dockDomain, u"magnification"_s, Kind::boolean, flag(dock.magnification) },
        { dockDomain, u"minimize-to-application"_s, Kind::boolean, flag(dock.minimizeToApp) },
        { dockDomain, u"show-recents"_s, Kind::boolean, flag(dock.showRecents) },
        { finderDomain, u"AppleShowAllFiles"_s, Kind::boolean, flag(finder.showHiddenFiles) },
        { global, u"AppleShowAllExtensions"_s, Kind::boolean, flag(finder.showExtensions) },
        { finderDomain, u"ShowPathbar"_s, Kind::boolean, flag(finder.showPathBar) },
        { finderDomain, u"ShowStatusBar"_s, Kind::boolean, flag(finder.showStatusBar) },
    };
    static const QMap<QString, QString> viewStyleCodes{
        { u"icon"_s, u"icnv"_s },
        { u"list"_s, u"Nlsv"_s },
        { u"column"_s, u"clmv"_s },
        { u"gallery"_s, u"glyv"_s },
    };
    if (const auto code = viewStyleCodes.constFind(finder.viewStyle); code != viewStyleCodes.constEnd())
        entries.append({ finderDomain, u"FXPreferredViewStyle"_s, Kind::string, *code });
    entries += QList<DefaultsEntry>{
        { global, u"KeyRepeat"_s, Kind::integer, number(keyboard.keyRepeat) },
        { global, u"InitialKeyRepeat"_s, Kind::integer, number(keyboard.initialKeyRepeat) },
        { global, u"NSAutomaticQuoteSubstitutionEnabled"_s, Kind::boolean, flag(!keyboard.disableSmartQuotes) },
        { global, u"NSAutomaticDashSubstitutionEnabled"_s, Kind::boolean, flag(!keyboard.disableSmartDashes) },
    };
    return entries;
}

QByteArray SetupConfig::toJson() const
{
    const QJsonObject object{
        { u"plugins"_s, QJsonArray::fromStringList(plugins) },
        { u"p10kStyle"_s, p10kStyle },
        { u"aliases"_s, encodeRows(aliases) },
        { u"environment"_s, encodeRows(environment) },
        { u"zshrcExtras"_s, zshrcExtras },
        { u"backupDotfiles"_s, backupDotfiles },
        { u"dock"_s,
            QJsonObject{
                { u"autohide"_s, dock.autohide },
                { u"autohideDelay"_s, dock.autohideDelay },
                { u"tileSize"_s, dock.tileSize },
                { u"magnification"_s, dock.magnification },
                { u"minimizeToApp"_s, dock.minimizeToApp },
                { u"showRecents"_s, dock.showRecents },
            } },
        { u"finder"_s,
            QJsonObject{
                { u"showHiddenFiles"_s, finder.showHiddenFiles },
                { u"showExtensions"_s, finder.showExtensions },
                { u"showPathBar"_s, finder.showPathBar },
                { u"showStatusBar"_s, finder.showStatusBar },
                { u"viewStyle"_s, finder.viewStyle },
            } },
        { u"keyboard"_s,
            QJsonObject{
                { u"keyRepeat"_s, keyboard.keyRepeat },
                { u"initialKeyRepeat"_s, keyboard.initialKeyRepeat },
                { u"disableSmartQuotes"_s, keyboard.disableSmartQuotes },
                { u"disableSmartDashes"_s, keyboard.disableSmartDashes },
            } },
        { u"gitName"_s, gitName },
        { u"gitEmail"_s, gitEmail },
        { u"gitAliases"_s, encodeRows(gitAliases) },
        { u"gitSettings"_s, encodeRows(gitSettings) },
        { u"sshKeyType"_s, sshKeyType },
        { u"sshKeyFile"_s, sshKeyFile },
        { u"sshComment"_s, sshComment },
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<SetupConfig> SetupConfig::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject top = document.object();
    Reader in{ top };

    SetupConfig config;
    config.plugins = in.strings("plugins"_L1);
    config.p10kStyle = in.string("p10kStyle"_L1);
    config.aliases = in.keyValues("aliases"_L1);
    config.environment = in.keyValues("environment"_L1);
    config.zshrcExtras = in.string("zshrcExtras"_L1);
    config.backupDotfiles = in.boolean("backupDotfiles"_L1);

    const QJsonObject dockObject = in.nested("dock"_L1);
    Reader dock{ dockObject };
    config.dock = { dock.boolean("autohide"_L1), dock.integer("autohideDelay"_L1), dock.integer("tileSize"_L1),
        dock.boolean("magnification"_L1), dock.boolean("minimizeToApp"_L1), dock.boolean("showRecents"_L1) };

    const QJsonObject finderObject = in.nested("finder"_L1);
    Reader finder{ finderObject };
    config.finder = { finder.boolean("showHiddenFiles"_L1), finder.boolean("showExtensions"_L1),
        finder.boolean("showPathBar"_L1), finder.boolean("showStatusBar"_L1), finder.string("viewStyle"_L1) };

    const QJsonObject keyboardObject = in.nested("keyboard"_L1);
    Reader keyboard{ keyboardObject };
    config.keyboard = { keyboard.integer("keyRepeat"_L1), keyboard.integer("initialKeyRepeat"_L1),
        keyboard.boolean("disableSmartQuotes"_L1), keyboard.boolean("disableSmartDashes"_L1) };

    config.gitName = in.string("gitName"_L1);
    config.gitEmail = in.string("gitEmail"_L1);
    config.gitAliases = in.keyValues("gitAliases"_L1);
    config.gitSettings = in.keyValues("gitSettings"_L1);
    config.sshKeyType = in.string("sshKeyType"_L1);
    config.sshKeyFile = in.string("sshKeyFile"_L1);
    config.sshComment = in.string("sshComment"_L1);

    if (!in.ok || !dock.ok || !finder.ok || !keyboard.ok)
        return std::nullopt;
    return config;
}

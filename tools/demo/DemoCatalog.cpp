#include "DemoCatalog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// Stable pseudo-random numbers per package, so every run of the demo shows the same figures.
quint32 mix(const QString &name, quint32 salt)
{
    quint32 hash = 2166136261u ^ salt;
    for (QChar c : name) {
        hash ^= c.unicode();
        hash *= 16777619u;
    }
    return hash;
}

QString licenseOf(const DemoCatalog::Entry &entry)
{
    static const QStringList licenses{ u"MIT"_s, u"Apache-2.0"_s, u"BSD-3-Clause"_s, u"GPL-3.0-or-later"_s,
        u"MPL-2.0"_s, u"BSD-2-Clause"_s, u"LGPL-2.1-or-later"_s, u"ISC"_s };
    return licenses.at(int(mix(entry.name, 7) % quint32(licenses.size())));
}

} // namespace

namespace DemoCatalog {

QList<Entry> entries()
{
    QFile file(u":/demo/catalog.txt"_s);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the demo catalog is missing from the resources");
    QList<Entry> result;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &line : lines) {
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList f = line.split(u'|');
        Entry entry;
        if (f.value(0) == u"f"_s && f.size() == 7) {
            entry.name = f[1];
            entry.displayName = f[1];
            entry.version = f[2];
            entry.installed = f[3] == u"="_s ? f[2] : f[3];
            entry.dependencies = f[4].split(u' ', Qt::SkipEmptyParts);
            entry.desc = f[5];
            entry.homepage = f[6];
        } else if (f.value(0) == u"c"_s && f.size() == 8) {
            entry.isCask = true;
            entry.name = f[1];
            entry.displayName = f[2];
            entry.version = f[3];
            entry.installed = f[4] == u"="_s ? f[3] : f[4];
            entry.autoUpdates = f[5] == u"1"_s;
            entry.desc = f[6];
            entry.homepage = f[7];
        } else {
            qFatal("bad line in the demo catalog: %s", qPrintable(line));
        }
        result.append(entry);
    }
    return result;
}

QByteArray formulaDocument(const QList<Entry> &entries)
{
    QJsonArray array;
    for (const Entry &entry : entries) {
        if (entry.isCask)
            continue;
        array.append(QJsonObject{
            { u"name"_s, entry.name },
            { u"full_name"_s, entry.name },
            { u"tap"_s, u"homebrew/core"_s },
            { u"desc"_s, entry.desc },
            { u"license"_s, licenseOf(entry) },
            { u"homepage"_s, entry.homepage },
            { u"versions"_s, QJsonObject{ { u"stable"_s, entry.version }, { u"bottle"_s, true } } },
            { u"dependencies"_s, QJsonArray::fromStringList(entry.dependencies) },
            { u"deprecated"_s, entry.name == u"youtube-dl"_s },
            { u"disabled"_s, false },
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray caskDocument(const QList<Entry> &entries)
{
    QJsonArray array;
    for (const Entry &entry : entries) {
        if (!entry.isCask)
            continue;
        array.append(QJsonObject{
            { u"token"_s, entry.name },
            { u"full_token"_s, entry.name },
            { u"tap"_s, u"homebrew/cask"_s },
            { u"name"_s, QJsonArray{ entry.displayName } },
            { u"desc"_s, entry.desc },
            { u"homepage"_s, entry.homepage },
            { u"version"_s, entry.version },
            { u"auto_updates"_s, entry.autoUpdates },
            { u"deprecated"_s, false },
            { u"disabled"_s, false },
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray detailsDocument(const QList<Entry> &entries, bool isCask, const QString &name)
{
    for (const Entry &entry : entries) {
        if (entry.isCask != isCask || entry.name != name)
            continue;
        const int installs = int(200 + mix(entry.name, 30) % 90000);
        QJsonObject details{
            { isCask ? u"token"_s : u"name"_s, entry.name },
            { u"desc"_s, entry.desc },
            { u"homepage"_s, entry.homepage },
            { u"tap"_s, isCask ? u"homebrew/cask"_s : u"homebrew/core"_s },
            { u"analytics"_s,
                QJsonObject{ { u"install"_s,
                    QJsonObject{ { u"30d"_s, QJsonObject{ { entry.name, installs } } },
                        { u"90d"_s, QJsonObject{ { entry.name, installs * 3 } } } } } } },
        };
        if (isCask) {
            details.insert(u"auto_updates"_s, entry.autoUpdates);
            details.insert(u"version"_s, entry.version);
            if (entry.name.startsWith(u"font-"_s))
                details.insert(u"depends_on"_s, QJsonObject{});
        } else {
            details.insert(u"license"_s, licenseOf(entry));
            details.insert(u"dependencies"_s, QJsonArray::fromStringList(entry.dependencies));
            details.insert(u"aliases"_s, QJsonArray());
            details.insert(u"versions"_s, QJsonObject{ { u"stable"_s, entry.version } });
            if (mix(entry.name, 3) % 5 == 0)
                details.insert(u"caveats"_s,
                    u"To start %1 now and restart at login:\n  brew services start %1\n"_s.arg(entry.name));
        }
        return QJsonDocument(details).toJson(QJsonDocument::Compact);
    }
    return {};
}

void addLifecycle(const QList<Entry> &entries, fakebrew::FakeBrewState &state)
{
    using fakebrew::FakeBrewState;
    using fakebrew::Kind;
    for (const Entry &entry : entries)
        if (FakeBrewState::Package *package = state.find(entry.isCask ? Kind::cask : Kind::formula, entry.name))
            package->desc = entry.desc;

    // Libraries pulled in by other formulae; zstd and lz4 stayed behind when their user went.
    QSet<QString> dependencies{ u"zstd"_s, u"lz4"_s };
    for (const FakeBrewState::Package &formula : std::as_const(state.formulae))
        if (formula.isInstalled())
            for (const QString &dependency : formula.dependencies)
                dependencies.insert(dependency);
    for (FakeBrewState::Package &formula : state.formulae)
        if (formula.isInstalled() && dependencies.contains(formula.name) && formula.name != u"sqlite"_s)
            formula.installedOnRequest = false;

    const auto formula = [&](const QString &name) -> FakeBrewState::Package & {
        FakeBrewState::Package *package = state.find(Kind::formula, name);
        if (!package)
            qFatal("the demo catalog has no formula %s", qPrintable(name));
        return *package;
    };
    formula(u"node"_s).pinned = true;
    formula(u"postgresql@16"_s).pinned = true;
    formula(u"gh"_s).installedVersions = { u"2.70.0"_s, u"2.72.0"_s };
    formula(u"jq"_s).installedVersions = { u"1.7"_s, u"1.7.1"_s };
    formula(u"node"_s).installedVersions = { u"22.15.0"_s, u"23.11.0"_s };
    formula(u"fzf"_s).installedVersions = { u"0.60.3"_s, u"0.61.1"_s, u"0.62.0"_s };

    state.downloads = {
        { u"gh--2.70.0.arm64_sonoma.bottle.tar.gz"_s, 12'400'000, 190 },
        { u"jq--1.7.arm64_sonoma.bottle.tar.gz"_s, 480'000, 260 },
        { u"node--22.15.0.arm64_sonoma.bottle.tar.gz"_s, 21'700'000, 140 },
        { u"fzf--0.62.0.arm64_sonoma.bottle.tar.gz"_s, 1'650'000, 12 },
    };
    state.taps = { u"hashicorp/tap"_s };

    const auto cask = [&](const QString &name) -> FakeBrewState::Package & {
        FakeBrewState::Package *package = state.find(Kind::cask, name);
        if (!package)
            qFatal("the demo catalog has no cask %s", qPrintable(name));
        return *package;
    };
    cask(u"firefox"_s).zap = { u"~/Library/Application Support/Firefox"_s, u"~/Library/Caches/Mozilla/Firefox"_s,
        u"~/Library/Preferences/org.mozilla.firefox.plist"_s };
    cask(u"visual-studio-code"_s).zap
        = { u"~/Library/Application Support/Code"_s, u"~/Library/Caches/com.microsoft.VSCode"_s, u"~/.vscode"_s };
    cask(u"rectangle"_s).zap = { u"~/Library/Preferences/com.knollsoft.Rectangle.plist"_s };

    state.services = {
        { .name = u"redis"_s, .status = u"started"_s, .pid = 5123, .registered = true },
        { .name = u"postgresql@16"_s },
        { .name = u"nginx"_s, .status = u"error"_s, .exitCode = 1, .registered = true, .crashExitCode = 1 },
    };
}

QByteArray brewfile()
{
    return "# Everything this Mac needs, for `brew bundle`\n"
           "tap \"hashicorp/tap\"\n"
           "brew \"git\"\n"
           "brew \"jq\"\n"
           "brew \"wget\"\n"
           "brew \"htop\"\n"
           "brew \"redis\", restart_service: :changed\n"
           "cask \"firefox\"\n"
           "cask \"rectangle\"\n"
           "cask \"slack\"\n"
           "mas \"Xcode\", id: 497799835\n"
           "vscode \"ms-python.python\"\n";
}

} // namespace DemoCatalog

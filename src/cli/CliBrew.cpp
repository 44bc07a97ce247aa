#include "cli/CliBrew.h"

#include "brew/ActivityStore.h"
#include "brew/BrewStore.h"
#include "brew/CatalogFilter.h"
#include "brew/CatalogService.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace CliSupport;

namespace CliBrew {

namespace {

// Brings up the store as far as a command needs it: brew located, the cached catalog shown (or
// downloaded when there is none).
class Session {
public:
    Session()
        : m_store(&m_activity)
    {
    }

    BrewStore &store() { return m_store; }
    ActivityStore &activity() { return m_activity; }

    bool requireBrew(CliStreams &io)
    {
        if (m_store.locate())
            return true;
        error(io, u"Homebrew is not installed. Install it from https://brew.sh or with the Quillrig app."_s);
        return false;
    }

    bool loadCatalog(CliStreams &io)
    {
        if (auto cached = runToEnd(CatalogService::loadCachedCatalog())) {
            m_store.applyCatalog(cached->first, cached->second);
            return true;
        }
        if (io.errIsTerminal)
            writeLine(io.err, u"Downloading the Homebrew catalog…"_s);
        runToEnd(m_store.loadCatalog());
        if (m_store.catalog().isEmpty()) {
            error(io, u"The Homebrew catalog could not be loaded: "_s + m_store.catalogError().value_or(u"empty"_s));
            return false;
        }
        return true;
    }

    // Runs one of the store's command sequences with its output streamed to standard output.
    int runSequence(CliStreams &io, QCoro::Task<> task)
    {
        runToEnd(std::move(task));
        const ActivityStore::Phase phase = m_activity.phase();
        if (phase.kind == ActivityStore::Phase::Kind::failure) {
            error(io, phase.title);
            return CliExit::failed;
        }
        if (phase.kind == ActivityStore::Phase::Kind::success)
            writeLine(io.err, paint(phase.message, Colour::green, useColour(io.errIsTerminal)));
        return CliExit::ok;
    }

    void streamLog(CliStreams &io)
    {
        QObject::connect(
            &m_store, &BrewStore::logAppended, &m_store, [&io](const QString &text) { write(io.out, text); });
    }

private:
    ActivityStore m_activity;
    BrewStore m_store;
};

QJsonObject packageJson(const Package &package)
{
    return QJsonObject{ { u"id"_s, package.id() }, { u"name"_s, package.name }, { u"kind"_s, toString(package.kind) },
        { u"version"_s, package.version }, { u"description"_s, package.desc }, { u"homepage"_s, package.homepage } };
}

// A name as given: "wget", or with its kind, "cask:firefox". Formulae win over casks of the
// same name, as with brew itself.
std::optional<Package> findPackage(const BrewStore &store, const QString &name)
{
    const auto &byID = store.packagesByID();
    if (byID.contains(name))
        return byID.value(name);
    for (const PackageKind kind : allPackageKinds()) {
        const QString id = Package::idOf(kind, name);
        if (byID.contains(id))
            return byID.value(id);
    }
    return std::nullopt;
}

} // namespace

int search(CliStreams &io, const Options &options)
{
    // The cache alone serves a search: no store unless the catalog has to be downloaded.
    QList<Package> catalog;
    if (auto cached = runToEnd(CatalogService::loadCachedCatalog())) {
        catalog = std::move(cached->first);
    } else {
        Session session;
        if (!session.loadCatalog(io))
            return CliExit::failed;
        catalog = session.store().catalog();
    }
    const QSet<QString> none;
    const CatalogFilter::PackageState state{ none, none, none };
    const QList<qsizetype> rows
        = CatalogFilter::rows(catalog, CatalogFilter::Filter{ options.names.join(u' '), {}, {} }, state);
    if (options.json) {
        QJsonArray array;
        for (const qsizetype row : rows)
            array.append(packageJson(catalog[row]));
        writeJson(io.out, QJsonDocument(array));
        return CliExit::ok;
    }
    const bool colour = useColour(io.outIsTerminal);
    QString text;
    for (const qsizetype row : rows) {
        const Package &package = catalog[row];
        text += paint(package.name, Colour::bold, colour)
            + (package.kind == PackageKind::cask ? paint(u" (cask)"_s, Colour::dim, colour) : QString()) + u"  "_s
            + package.version + u"  "_s + package.desc + u'\n';
    }
    write(io.out, text);
    if (rows.isEmpty())
        writeLine(io.err, u"No packages match “"_s + options.names.join(u' ') + u"”."_s);
    return rows.isEmpty() ? CliExit::failed : CliExit::ok;
}

int info(CliStreams &io, const Options &options)
{
    Session session;
    if (!session.loadCatalog(io))
        return CliExit::failed;
    const QString name = options.names.value(0);
    const std::optional<Package> package = findPackage(session.store(), name);
    if (!package) {
        error(io, u"no formula or cask named “"_s + name + u"”"_s);
        return CliExit::failed;
    }
    const std::optional<PackageDetails> details = runToEnd(CatalogService::fetchDetails(*package));
    if (options.json) {
        QJsonObject object = packageJson(*package);
        if (details) {
            object.insert(u"license"_s, details->license ? QJsonValue(*details->license) : QJsonValue());
            object.insert(u"dependencies"_s, QJsonArray::fromStringList(details->dependencies));
            object.insert(u"caveats"_s, details->caveats ? QJsonValue(*details->caveats) : QJsonValue());
        }
        writeJson(io.out, QJsonDocument(object));
        return CliExit::ok;
    }
    const bool colour = useColour(io.outIsTerminal);
    writeLine(io.out,
        paint(package->name, Colour::bold, colour) + u' ' + package->version + u" ("_s + toString(package->kind)
            + u')');
    if (!package->desc.isEmpty())
        writeLine(io.out, package->desc);
    if (!package->homepage.isEmpty())
        writeLine(io.out, package->homepage);
    if (details) {
        if (details->license)
            writeLine(io.out, u"License: "_s + *details->license);
        if (!details->dependencies.isEmpty())
            writeLine(io.out, u"Dependencies: "_s + details->dependencies.join(u", "_s));
        if (details->caveats)
            writeLine(io.out, u"\n"_s + *details->caveats);
    } else {
        writeLine(io.err, u"More details could not be loaded."_s);
    }
    return CliExit::ok;
}

int install(CliStreams &io, const Options &options)
{
    Session session;
    if (!session.requireBrew(io) || !session.loadCatalog(io))
        return CliExit::failed;
    QList<Package> packages;
    for (const QString &name : options.names) {
        const std::optional<Package> package = findPackage(session.store(), name);
        if (!package) {
            error(io, u"no formula or cask named “"_s + name + u"”"_s);
            return CliExit::failed;
        }
        packages.append(*package);
    }
    runToEnd(session.store().refreshInstalled());
    QStringList already;
    for (const Package &package : std::as_const(packages)) {
        if (session.store().isInstalled(package))
            already.append(package.name);
    }
    if (!already.isEmpty())
        writeLine(io.err, u"Already installed: "_s + already.join(u", "_s));
    session.streamLog(io);
    return session.runSequence(io, session.store().install(packages));
}

int uninstall(CliStreams &io, const Options &options)
{
    Session session;
    if (!session.requireBrew(io))
        return CliExit::failed;
    BrewStore &store = session.store();
    runToEnd(store.refreshInstalled());
    QList<InstalledPackage> packages;
    for (const QString &name : options.names) {
        const QList<InstalledPackage> &installed = store.installedPackages();
        const auto found = std::find_if(installed.cbegin(), installed.cend(),
            [&name](const InstalledPackage &package) { return package.name == name; });
        if (found == installed.cend()) {
            error(io, u"“"_s + name + u"” is not installed"_s);
            return CliExit::failed;
        }
        packages.append(*found);
    }
    session.streamLog(io);
    return session.runSequence(io, store.uninstall(packages, options.zap));
}

int outdated(CliStreams &io, const Options &options)
{
    Session session;
    if (!session.requireBrew(io))
        return CliExit::failed;
    BrewStore &store = session.store();
    // The window's "Include self-updating apps" setting stays as the user left it.
    const bool saved = store.includeSelfUpdating();
    store.setIncludeSelfUpdating(options.greedy);
    runToEnd(store.refreshInstalled());
    store.setIncludeSelfUpdating(saved);
    if (options.json) {
        QJsonArray array;
        for (const OutdatedPackage &package : store.outdated())
            array.append(QJsonObject{ { u"id"_s, package.id() }, { u"name"_s, package.name },
                { u"kind"_s, toString(package.kind) }, { u"installed"_s, package.installed },
                { u"current"_s, package.current } });
        writeJson(io.out, QJsonDocument(array));
        return CliExit::ok;
    }
    for (const OutdatedPackage &package : store.outdated())
        writeLine(io.out,
            package.name + (package.kind == PackageKind::cask ? u" (cask)"_s : QString()) + u"  "_s + package.installed
                + u" → "_s + package.current);
    if (store.outdated().isEmpty())
        writeLine(io.err, u"Everything is up to date."_s);
    return CliExit::ok;
}

int upgrade(CliStreams &io, const Options &options)
{
    Session session;
    if (!session.requireBrew(io))
        return CliExit::failed;
    BrewStore &store = session.store();
    runToEnd(store.refreshInstalled());
    session.streamLog(io);
    if (options.names.isEmpty())
        return session.runSequence(io, store.upgradeAll());
    QList<OutdatedPackage> packages;
    for (const QString &name : options.names) {
        bool found = false;
        for (const OutdatedPackage &package : store.outdated()) {
            if (package.name == name || package.id() == name) {
                packages.append(package);
                found = true;
            }
        }
        if (!found)
            writeLine(io.err, name + u" is up to date or not installed."_s);
    }
    if (packages.isEmpty())
        return CliExit::ok;
    return session.runSequence(io, store.upgrade(packages));
}

int update(CliStreams &io, const Options &)
{
    Session session;
    if (!session.requireBrew(io))
        return CliExit::failed;
    session.streamLog(io);
    return session.runSequence(io, session.store().updateHomebrew());
}

} // namespace CliBrew

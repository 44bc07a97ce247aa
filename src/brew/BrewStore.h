#pragma once

#include "brew/InstalledFormats.h"
#include "brew/InstalledPackage.h"
#include "brew/Package.h"
#include "brew/PackageIndex.h"
#include "brew/ServiceFormats.h"
#include "platform/BoundedLog.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ActivityStore;

enum class BrewStatus { checking, missing, ready };

// Everything Homebrew: where brew is and which version, the catalog, what is installed and
// outdated, the bulk-install selection, and the one command sequence that may run at a time.
// Lives on the GUI thread; every field notifies when it changes. Views connect to the xChanged
// signals directly and nothing reads the fields through the meta-object, so, like the other
// stores, it declares no Q_PROPERTY.
class BrewStore : public QObject {
    Q_OBJECT

public:
    explicit BrewStore(ActivityStore *activity, QObject *parent = nullptr);
    ~BrewStore() override;

    ActivityStore *activity() const { return m_activity; }

    BrewStatus status() const { return m_status; }
    std::optional<QString> brewPath() const { return m_brewPath; }
    std::optional<QString> brewVersion() const { return m_brewVersion; }
    std::optional<QString> latestBrewVersion() const { return m_latestBrewVersion; }

    const QList<Package> &catalog() const { return m_catalog; }
    const PackageIndex &packagesByID() const { return m_packagesByID; }
    std::optional<QDateTime> catalogDate() const { return m_catalogDate; }
    // Grows whenever the catalog or the installed/outdated data are replaced; views key their
    // derived lists on it.
    qint64 dataRevision() const { return m_dataRevision; }

    const QSet<QString> &selectedIDs() const { return m_selectedIDs; }
    void setSelectedIDs(const QSet<QString> &ids);
    void setSelected(const QString &id, bool selected);

    bool includeSelfUpdating() const { return m_includeSelfUpdating; }
    // Stored in the user defaults at once; takes effect at the next refreshInstalled().
    void setIncludeSelfUpdating(bool include);

    bool isLoadingCatalog() const { return m_isLoadingCatalog; }
    std::optional<QString> catalogError() const { return m_catalogError; }

    const QSet<QString> &installedFormulae() const { return m_installedFormulae; }
    const QSet<QString> &installedCasks() const { return m_installedCasks; }
    const QList<OutdatedPackage> &outdated() const { return m_outdated; }

    bool isRunning() const { return m_isRunning; }
    std::optional<QString> taskTitle() const { return m_taskTitle; }
    const QString &log() const { return m_log.text(); }
    // Only clearing is offered to the views ("Clear" in the log panel).
    void clearLog();
    const QString &commandOutput() const { return m_commandOutput; }
    std::optional<int> progressTotal() const { return m_progressTotal; }
    int progressDone() const { return m_progressDone; }

    bool isInstalled(const Package &package) const;
    bool brewUpdateAvailable() const;

    // Finds brew, shows the cached catalog, then downloads the catalog and reads the latest
    // release and the installed/outdated state.
    QCoro::Task<> refresh();
    // Only the first part of refresh(): finds brew and sets the path and status. True when found.
    bool locate();
    QCoro::Task<> refreshInstalled();
    // Downloads what changed since the cached catalog; when the server confirms nothing did,
    // only the catalog's date moves and the activity says catalogUpToDateMessage().
    QCoro::Task<> loadCatalog();
    void applyCatalog(const QList<Package> &packages, const QDateTime &date);
    static QString catalogUpToDateMessage() { return QStringLiteral("Catalog is up to date"); }

    QCoro::Task<> install(QList<Package> packages);
    QCoro::Task<> upgrade(QList<OutdatedPackage> packages);
    QCoro::Task<> upgradeAll();
    QCoro::Task<> updateHomebrew();
    // Writes the official installer into a .command file and opens it (Terminal on macOS).
    void installHomebrew();

    // --- Installed packages: the Installed screen, uninstall, reinstall, pin, clean up ---
    // Every installed formula, then every installed cask; read along with the installed lists.
    const QList<InstalledPackage> &installedPackages() const { return m_installedPackages; }
    // Formulae `brew leaves --installed-on-request` lists: asked for, and needed by nothing else.
    const QSet<QString> &requestedLeaves() const { return m_requestedLeaves; }
    std::optional<InstalledPackage> installedPackage(const QString &id) const;
    // Outdated packages that a plain `brew upgrade` leaves alone because they are pinned.
    int pinnedOutdatedCount() const;
    // Homebrew pins casks from 5.1.12 on; before, `brew pin` knows formulae only.
    bool canPinCasks() const;
    static QString pinCasksMinimumVersion() { return QStringLiteral("5.1.12"); }
    // Reads `brew info --json=v2 --installed` (decoded off the GUI thread) and the leaves.
    QCoro::Task<> refreshInstalledPackages();
    // What `brew uses --installed` names for a formula; absent when brew could not tell.
    QCoro::Task<std::optional<QStringList>> installedDependents(QString formula);
    // Runs the dry runs of `brew cleanup` and `brew autoremove`; nothing changes on disk.
    QCoro::Task<InstalledFormats::CleanupPreview> previewCleanup();
    // `brew uninstall --formula …` and `brew uninstall --cask [--zap] …`; zap only when asked.
    QCoro::Task<> uninstall(QList<InstalledPackage> packages, bool zap);
    QCoro::Task<> reinstall(InstalledPackage package);
    QCoro::Task<> setPinned(InstalledPackage package, bool pinned);
    // `brew autoremove` and/or `brew cleanup`, for what the preview found.
    QCoro::Task<> cleanUp(InstalledFormats::CleanupPreview preview);

Q_SIGNALS:
    void statusChanged();
    void brewPathChanged();
    void brewVersionChanged();
    void latestBrewVersionChanged();
    void catalogChanged();
    void catalogDateChanged();
    void dataRevisionChanged();
    void selectedIDsChanged();
    void includeSelfUpdatingChanged();
    void isLoadingCatalogChanged();
    void catalogErrorChanged();
    void installedChanged();
    void outdatedChanged();
    void isRunningChanged();
    void taskTitleChanged();
    void progressChanged();
    void commandOutputChanged();
    // The log changed in some way. Views that show it follow the two finer signals instead, so a
    // flood of output never makes them re-read the whole text.
    void logChanged();
    // `text` was appended at the end of the log.
    void logAppended(const QString &text);
    // The log was cleared or cut back to its newest part; re-read it whole.
    void logReset();
    // installedPackages() or requestedLeaves() were read again.
    void installedPackagesChanged();

private:
    // bench/store_bench pushes output through the sequencer's append path directly.
    friend struct BrewStoreBenchAccess;

    void setStatus(BrewStatus status);
    void setBrewPath(const std::optional<QString> &path);
    void setBrewVersion(const std::optional<QString> &version);
    void setLatestBrewVersion(const std::optional<QString> &version);
    void setIsLoadingCatalog(bool loading);
    void setCatalogError(const std::optional<QString> &error);
    void setOutdated(const QList<OutdatedPackage> &outdated);
    void setRunning(bool running, const std::optional<QString> &title);
    void bumpDataRevision();
    void pruneSelection();

    struct SequenceExtras;
    QCoro::Task<> runSequence(QString title, QList<QStringList> commands, std::optional<int> progressTotal,
        QString successMessage, const SequenceExtras *extras = nullptr);
    void appendOutput(const QString &text);
    void appendToLog(const QString &text);
    void countHeadings(const QString &text);

    ActivityStore *m_activity;
    BrewStatus m_status = BrewStatus::checking;
    std::optional<QString> m_brewPath;
    std::optional<QString> m_brewVersion;
    std::optional<QString> m_latestBrewVersion;
    QList<Package> m_catalog;
    PackageIndex m_packagesByID;
    std::optional<QDateTime> m_catalogDate;
    // m_catalog is what the cache file holds (read from it or written with it), not a list
    // applied from elsewhere.
    bool m_catalogIsCached = false;
    qint64 m_dataRevision = 0;
    QSet<QString> m_selectedIDs;
    bool m_includeSelfUpdating = true;
    bool m_isLoadingCatalog = false;
    std::optional<QString> m_catalogError;
    QSet<QString> m_installedFormulae;
    QSet<QString> m_installedCasks;
    QList<OutdatedPackage> m_outdated;
    bool m_isRunning = false;
    std::optional<QString> m_taskTitle;
    BoundedLog m_log;
    QString m_commandOutput;
    std::optional<int> m_progressTotal;
    int m_progressDone = 0;

    // Background services and Brewfiles (BrewStoreServices.cpp). They run through the same
    // sequencer, activity and log as install and upgrade.
public:
    enum class ServiceAction { start, stop, restart, runOnce };

    const QList<ServiceEntry> &services() const { return m_services; }
    // Whether a list of services was ever read; until then an empty list means "not known yet".
    bool servicesKnown() const { return m_servicesKnown; }
    // Why the last refresh could not read the list; the last list read stays in services().
    std::optional<QString> servicesError() const { return m_servicesError; }
    bool isLoadingServices() const { return m_isLoadingServices; }

    QCoro::Task<> refreshServices();
    // Nothing when brew cannot tell (the view keeps showing the row's list data).
    QCoro::Task<std::optional<ServiceDetails>> serviceDetails(QString name);
    // Services owned by another user (root) are left out: only that user can change them.
    QCoro::Task<> controlServices(ServiceAction action, QStringList names);

    QCoro::Task<> exportBrewfile(QString path, bool describe);
    // Asks brew what the Brewfile lacks; changes nothing.
    QCoro::Task<BrewfileCheck> checkBrewfile(QString path);
    // `missingCount`: what the check found missing, the start of the progress total.
    QCoro::Task<> installBrewfile(QString path, int missingCount);

Q_SIGNALS:
    void servicesChanged();
    void servicesErrorChanged();
    void isLoadingServicesChanged();

private:
    struct SequenceExtras {
        // Count `brew bundle install`'s per-entry lines instead of "==> " headings.
        bool bundleSteps = false;
        // Replaces the fixed success message; called after the commands ran.
        std::function<QString()> successMessage;
        // Runs after the commands, whether they succeeded or not, before the run ends; a value
        // turns an apparent success into a failure: (command, text).
        std::function<QCoro::Task<std::optional<std::pair<QString, QString>>>(bool succeeded)> verify;
    };

    void countBundleLines(const QString &text);
    QCoro::Task<std::optional<std::pair<QString, QString>>> verifyServices(ServiceAction action, QStringList names);
    // A missing, unreadable or folder path, told the way the user should read it; empty when fine.
    static QString brewfileProblem(const QString &path);

    QList<ServiceEntry> m_services;
    bool m_servicesKnown = false;
    std::optional<QString> m_servicesError;
    bool m_isLoadingServices = false;
    quint64 m_servicesGeneration = 0;
    bool m_countBundleLines = false;

    // --- Installed packages ---
    // Runs a sequence and hands back everything it printed (markers included).
    QCoro::Task<QString> runCapturingSequence(
        QString title, QList<QStringList> commands, std::optional<int> progressTotal, QString successMessage);
    // Turns a reported success into a failure when brew exited 0 without doing the work.
    void reportUnfinished(const QString &title, const QString &command, const QString &what, const QString &output);
    QList<InstalledPackage> m_installedPackages;
    QSet<QString> m_requestedLeaves;
    // While set, every piece of sequence output is also appended here.
    QString *m_capture = nullptr;
};

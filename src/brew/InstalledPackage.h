#pragma once

#include "brew/Package.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// One formula or cask on this machine, as `brew info --json=v2 --installed` describes it.
struct InstalledPackage {
    PackageKind kind = PackageKind::formula;
    QString name; // the argument given to brew
    QString displayName; // casks: the app's name; formulae: the name
    QString desc;
    QString homepage;
    QString version; // the newest installed keg (formulae) or the installed version (casks)
    QStringList installedVersions; // formulae: every keg, oldest first
    QString latestVersion; // what the catalog offers now
    // Formulae: asked for by the user rather than pulled in by another formula. Casks always are.
    bool onRequest = true;
    bool pinned = false;
    bool outdated = false;
    bool autoUpdates = false;
    std::optional<QDateTime> installedTime;

    QString id() const { return Package::idOf(kind, name); }
    // What the catalog screens and the detail view show for it when the catalog does not have it
    // (a package of a tap, or one no longer offered).
    Package asPackage() const;

    bool operator==(const InstalledPackage &) const = default;
};

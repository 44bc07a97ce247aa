#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTypeInfo>

#include <optional>

enum class PackageKind { formula, cask };

// The raw value: "formula" or "cask". It is the first half of every package id and the value
// stored in the catalog cache.
QString toString(PackageKind kind);
std::optional<PackageKind> packageKindFromString(QStringView text);
// formula, then cask.
QList<PackageKind> allPackageKinds();

inline size_t qHash(PackageKind kind, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(kind), seed);
}

// One formula or cask of the catalog.
struct Package {
    PackageKind kind = PackageKind::formula;
    QString name; // the argument given to brew
    QString displayName;
    QString desc;
    QString homepage;
    QString version;
    bool deprecated = false; // deprecated or disabled upstream
    QString searchKey; // lower-cased name, display name and description

    // "formula:wget", "cask:firefox": keys packagesByID, the selection and table rows.
    QString id() const { return idOf(kind, name); }
    static QString idOf(PackageKind kind, const QString &name);

    bool operator==(const Package &) const = default;
};

// Moved as raw bytes when a list grows: matters for catalogs of 15,000.
Q_DECLARE_TYPEINFO(Package, Q_RELOCATABLE_TYPE);

size_t qHash(const Package &package, size_t seed = 0) noexcept;

// One line of `brew outdated`. Shares its id with the catalog entry of the same package.
struct OutdatedPackage {
    PackageKind kind = PackageKind::formula;
    QString name;
    QString installed; // one version, or several joined with ", "
    QString current;
    // Held back by `brew pin`: a plain `brew upgrade` leaves it alone.
    bool pinned = false;

    QString id() const { return Package::idOf(kind, name); }

    bool operator==(const OutdatedPackage &) const = default;
};

Q_DECLARE_TYPEINFO(OutdatedPackage, Q_RELOCATABLE_TYPE);

size_t qHash(const OutdatedPackage &package, size_t seed = 0) noexcept;

// What the detail screen shows beyond the catalog entry. Every field may be missing upstream.
struct PackageDetails {
    std::optional<QString> license;
    std::optional<QString> tap;
    QStringList dependencies;
    std::optional<QString> caveats;
    std::optional<bool> autoUpdates;
    std::optional<qint64> installs30d;
    QStringList aliases;

    bool operator==(const PackageDetails &) const = default;
};

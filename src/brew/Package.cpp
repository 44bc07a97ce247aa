#include "brew/Package.h"

using namespace Qt::StringLiterals;

QString toString(PackageKind kind)
{
    switch (kind) {
    case PackageKind::formula:
        return u"formula"_s;
    case PackageKind::cask:
        return u"cask"_s;
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<PackageKind> packageKindFromString(QStringView text)
{
    if (text == u"formula")
        return PackageKind::formula;
    if (text == u"cask")
        return PackageKind::cask;
    return std::nullopt;
}

QList<PackageKind> allPackageKinds()
{
    return { PackageKind::formula, PackageKind::cask };
}

QString Package::idOf(PackageKind kind, const QString &name)
{
    return toString(kind) + u':' + name;
}

size_t qHash(const Package &package, size_t seed) noexcept
{
    return qHashMulti(seed, package.kind, package.name, package.displayName, package.desc, package.homepage,
        package.version, package.deprecated, package.searchKey);
}

size_t qHash(const OutdatedPackage &package, size_t seed) noexcept
{
    return qHashMulti(seed, package.kind, package.name, package.installed, package.current, package.pinned);
}

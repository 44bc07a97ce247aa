#include "brew/InstalledPackage.h"

#include "brew/PackageFormats.h"

Package InstalledPackage::asPackage() const
{
    Package package;
    package.kind = kind;
    package.name = name;
    package.displayName = displayName.isEmpty() ? name : displayName;
    package.desc = desc;
    package.homepage = homepage;
    package.version = latestVersion.isEmpty() ? version : latestVersion;
    package.searchKey = PackageFormats::searchKey(name, package.displayName, desc);
    return package;
}

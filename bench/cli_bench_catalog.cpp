// Writes the generated catalog as the catalog cache of the home folder it is given (through the
// platform, as the application finds it), for bench/cli_bench. Prints the number of packages.
#include "CatalogGenerator.h"
#include "brew/CatalogService.h"
#include "brew/PackageFormats.h"
#include "platform/Files.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const CatalogGenerator::Catalog catalog = CatalogGenerator::generate();
    QList<Package> packages = PackageFormats::decodeFormulae(catalog.formulaJson);
    packages.append(PackageFormats::decodeCasks(catalog.caskJson));
    CatalogService::sortByName(packages);
    const QString cache = CatalogService::cachePath();
    Files::createDirectories(QFileInfo(cache).path());
    Files::writeAtomically(cache, PackageFormats::encodeCache(packages));
    std::printf("%lld\n", static_cast<long long>(packages.size()));
    return 0;
}

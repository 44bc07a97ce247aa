#include "FuzzCheck.h"
#include "brew/PackageFormats.h"

// `brew outdated --json=v2`: formulae come before casks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QList<OutdatedPackage>> report = PackageFormats::decodeOutdatedReport(fuzz::bytes(data, size));
    if (!report)
        return 0;
    bool sawCask = false;
    for (const OutdatedPackage &package : *report) {
        sawCask = sawCask || package.kind == PackageKind::cask;
        FUZZ_CHECK(!sawCask || package.kind == PackageKind::cask);
    }
    return 0;
}

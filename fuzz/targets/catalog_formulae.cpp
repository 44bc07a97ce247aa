#include "FuzzCheck.h"
#include "brew/PackageFormats.h"

// formula.json: decodes or throws DecodingError, and what decodes survives the cache.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        const QList<Package> packages = PackageFormats::decodeFormulae(fuzz::bytes(data, size));
        for (const Package &package : packages)
            FUZZ_CHECK(package.kind == PackageKind::formula && !package.name.isNull());
        FUZZ_CHECK(PackageFormats::decodeCache(PackageFormats::encodeCache(packages)) == packages);
    } catch (const PackageFormats::DecodingError &) {
    }
    return 0;
}

#include "FuzzCheck.h"
#include "brew/PackageFormats.h"

// catalog.json: a cache that decodes encodes to a document that decodes to the same packages, and
// encoding is stable.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QList<Package>> packages = PackageFormats::decodeCache(fuzz::bytes(data, size));
    if (!packages)
        return 0;
    const QByteArray encoded = PackageFormats::encodeCache(*packages);
    const std::optional<QList<Package>> again = PackageFormats::decodeCache(encoded);
    FUZZ_CHECK(again && *again == *packages);
    FUZZ_CHECK(PackageFormats::encodeCache(*again) == encoded);
    return 0;
}

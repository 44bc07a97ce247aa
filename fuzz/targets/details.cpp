#include "FuzzCheck.h"
#include "brew/PackageFormats.h"

// Per-package details: never fails on odd fields; a caveat is trimmed.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<PackageDetails> details = PackageFormats::decodeDetails(fuzz::bytes(data, size));
    if (details && details->caveats)
        FUZZ_CHECK(*details->caveats == details->caveats->trimmed());
    return 0;
}

#include "FuzzCheck.h"
#include "setup/config/SetupConfig.h"

// config.json: what decodes is written back to a document that decodes to the same configuration.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<SetupConfig> config = SetupConfig::fromJson(fuzz::bytes(data, size));
    if (!config)
        return 0;
    const QByteArray written = config->toJson();
    const std::optional<SetupConfig> again = SetupConfig::fromJson(written);
    FUZZ_CHECK(again && *again == *config);
    FUZZ_CHECK(again->toJson() == written);
    return 0;
}

#include "FuzzCheck.h"
#include "brew/ReleaseTag.h"
#include "brew/VersionCompare.h"

// The latest-release document, and the tag compared with an installed version: a release is
// never newer than itself, and never both newer and older.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QString> tag = ReleaseTag::fromJson(fuzz::bytes(data, size));
    if (!tag)
        return 0;
    const QString installed = tag->startsWith(u'v') ? tag->sliced(1) : *tag;
    FUZZ_CHECK(!VersionCompare::isNewerRelease(*tag, installed));
    for (const QString &other : { QStringLiteral("4.4.2"), QStringLiteral("10.0-3-gabc"), QStringLiteral("0") }) {
        const bool newer = VersionCompare::isNewerRelease(*tag, other);
        const bool older = VersionCompare::isNewerRelease(QStringLiteral("v") + other.section(u'-', 0, 0), installed);
        FUZZ_CHECK(!(newer && older));
    }
    return 0;
}

#include "FuzzCheck.h"
#include "brew/VersionCompare.h"

// Three version texts: the comparison is antisymmetric and transitive, so it is a consistent order.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzz::pieces(data, size, '\n', 3);
    if (parts.size() < 3)
        return 0;
    const QString a = QString::fromUtf8(parts[0]);
    const QString b = QString::fromUtf8(parts[1]);
    const QString c = QString::fromUtf8(parts[2]);
    const auto sign = [](int x) { return (x > 0) - (x < 0); };
    const int ab = sign(VersionCompare::compareNumeric(a, b));
    const int bc = sign(VersionCompare::compareNumeric(b, c));
    const int ac = sign(VersionCompare::compareNumeric(a, c));
    FUZZ_CHECK(ab == -sign(VersionCompare::compareNumeric(b, a)));
    FUZZ_CHECK(VersionCompare::compareNumeric(a, a) == 0);
    if (ab <= 0 && bc <= 0)
        FUZZ_CHECK(ac <= 0);
    if (ab == 0 && bc == 0)
        FUZZ_CHECK(ac == 0);
    VersionCompare::isNewerRelease(a, b);
    return 0;
}

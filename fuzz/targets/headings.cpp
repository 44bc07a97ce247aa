#include "FuzzCheck.h"
#include "brew/HeadingCounter.h"

// brew output: one heading per "==> " line start at most, none holding a line break; a chunk cut
// anywhere never yields more counted steps than its two halves.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString chunk = fuzz::text(data, size);
    const QList<HeadingCounter::Heading> found = HeadingCounter::headings(chunk);
    FUZZ_CHECK(found.size() <= chunk.count(QStringLiteral("==> ")));
    qsizetype steps = 0;
    for (const HeadingCounter::Heading &heading : found) {
        FUZZ_CHECK(!heading.text.contains(u'\n') && !heading.text.contains(u'\r'));
        FUZZ_CHECK(heading.countsAsStep == HeadingCounter::countsAsStep(heading.text));
        steps += heading.countsAsStep;
    }
    const qsizetype cut = size == 0 ? 0 : qsizetype(data[0]) % (chunk.size() + 1);
    qsizetype halves = 0;
    for (const QStringView half : { QStringView(chunk).first(cut), QStringView(chunk).sliced(cut) }) {
        for (const HeadingCounter::Heading &heading : HeadingCounter::headings(half))
            halves += heading.countsAsStep;
    }
    FUZZ_CHECK(halves <= steps + 1);
    return 0;
}

#include "FuzzCheck.h"
#include "setup/config/Zshrc.h"

#include <QSet>

// setPlugins on a fuzzed ~/.zshrc: twice equals once; lines before and after the statement are
// kept byte for byte; the statement then lists the wanted names, except those reported not placed,
// plus those reported not removed; `changed` tells exactly whether the text differs.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const QStringList pool{ QStringLiteral("git"), QStringLiteral("docker"), QStringLiteral("fzf"),
        QStringLiteral("kubectl"), QStringLiteral("zsh-autosuggestions"), QStringLiteral("a)b"), QStringLiteral("brew"),
        QStringLiteral("x#y") };
    QStringList wanted;
    for (int bit = 0; bit < 8; ++bit) {
        if (data[0] & (1 << bit))
            wanted.append(pool[bit]);
    }
    const QString text = fuzz::text(data + 1, size - 1);
    const Zshrc::PluginsResult once = Zshrc::setPlugins(wanted, text);
    FUZZ_CHECK(once.changed == (once.text != text));
    const Zshrc::PluginsResult twice = Zshrc::setPlugins(wanted, once.text);
    FUZZ_CHECK(twice.text == once.text && !twice.changed);

    const QStringList before = text.split(u'\n');
    const QStringList after = once.text.split(u'\n');
    const std::optional<Zshrc::LineRange> range = Zshrc::pluginsRange(before);
    const std::optional<Zshrc::LineRange> newRange = Zshrc::pluginsRange(after);
    if (range) {
        FUZZ_CHECK(newRange && newRange->first == range->first);
        FUZZ_CHECK(after.first(range->first) == before.first(range->first));
        const qsizetype tail = before.size() - range->end;
        FUZZ_CHECK(after.size() - newRange->end == tail && after.last(tail) == before.last(tail));
    }
    if (newRange) {
        const QStringList names = Zshrc::plugins(after, *newRange);
        const QSet<QString> expected = (QSet<QString>(wanted.begin(), wanted.end())
                                           - QSet<QString>(once.notPlaced.begin(), once.notPlaced.end()))
            + QSet<QString>(once.notRemoved.begin(), once.notRemoved.end());
        if (once.changed || (once.notPlaced.isEmpty() && once.notRemoved.isEmpty()))
            FUZZ_CHECK(QSet<QString>(names.begin(), names.end()) == expected);
    }
    return 0;
}

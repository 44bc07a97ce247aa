#include "FuzzCheck.h"
#include "setup/config/Zshrc.h"

// setTheme on a fuzzed ~/.zshrc: the theme reads back, twice equals once, and at most one line
// changes or one line is added.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzz::pieces(data, size, '\0', 2);
    const QString name = parts.size() > 1 ? QString::fromUtf8(parts[0]) : QStringLiteral("powerlevel10k/powerlevel10k");
    const QString text = QString::fromUtf8(parts.back());
    Zshrc::theme(text);
    const QString themed = Zshrc::setTheme(name, text);
    if (themed == text && Zshrc::theme(text) != name)
        return 0; // a name that cannot be written leaves the file alone
    FUZZ_CHECK(Zshrc::theme(themed) == name);
    FUZZ_CHECK(Zshrc::setTheme(name, themed) == themed);
    const QStringList before = text.split(u'\n');
    QStringList after = themed.split(u'\n');
    if (after.size() == before.size()) {
        qsizetype differing = 0;
        for (qsizetype i = 0; i < before.size(); ++i)
            differing += after[i] != before[i];
        FUZZ_CHECK(differing <= 1);
    } else {
        FUZZ_CHECK(after.size() == before.size() + 1);
        qsizetype at = 0;
        while (at < before.size() && after[at] == before[at])
            ++at;
        after.removeAt(at);
        FUZZ_CHECK(after == before);
    }
    return 0;
}

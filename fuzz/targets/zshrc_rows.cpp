#include "FuzzCheck.h"
#include "platform/ShellQuote.h"
#include "setup/config/Zshrc.h"

// Alias and export rows and lines: a row is written exactly when it has no problem, its line is
// one line, and the takeover reads the line back into a row that writes the same line. Lines of a
// block the takeover cannot turn into rows are reported as refused, never dropped silently.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = fuzz::pieces(data, size, '=', 2);
    const KeyValue row
        = KeyValue::make(QString::fromUtf8(parts[0]), parts.size() > 1 ? QString::fromUtf8(parts[1]) : QString());

    const std::optional<QString> alias = Zshrc::aliasLine(row);
    FUZZ_CHECK(alias.has_value() == !Zshrc::aliasProblem(row).has_value());
    if (alias) {
        FUZZ_CHECK(!alias->contains(u'\n') && !alias->contains(u'\r'));
        const QList<KeyValue> back = Zshrc::parseAliases({ *alias });
        FUZZ_CHECK(back.size() == 1 && back[0].key == row.key && back[0].value == row.value);
    }
    const std::optional<QString> exported = Zshrc::exportLine(row);
    FUZZ_CHECK(exported.has_value() == !Zshrc::exportProblem(row).has_value());
    if (exported) {
        FUZZ_CHECK(!exported->contains(u'\n') && !exported->contains(u'\r'));
        const QList<KeyValue> back = Zshrc::parseExports({ *exported });
        FUZZ_CHECK(back.size() == 1 && back[0].key == row.key && Zshrc::exportLine(back[0]) == exported);
    }

    // The whole input as lines of a block, the way the takeover reads them.
    const QStringList lines = fuzz::text(data, size).split(u'\n');
    const QList<KeyValue> aliases = Zshrc::parseAliases(lines);
    const QStringList refusedAliases = Zshrc::refusedAliasLines(lines);
    qsizetype aliasLike = 0;
    for (const QString &line : lines)
        aliasLike += line.startsWith(QStringLiteral("alias ")) && line.indexOf(u'=', 6) >= 0;
    FUZZ_CHECK(aliases.size() + refusedAliases.size() == aliasLike);
    FUZZ_CHECK(Zshrc::aliasLines(aliases).size() == aliases.size());
    const QList<KeyValue> exports = Zshrc::parseExports(lines);
    FUZZ_CHECK(Zshrc::exportLines(exports).size() == exports.size());

    // Quoting helpers: a single-quoted text and a plain word read back as themselves.
    const QString value = row.value;
    const std::optional<ShellQuote::Word> quoted = ShellQuote::readWord(ShellQuote::singleQuoted(value));
    FUZZ_CHECK(quoted && quoted->value == value);
    if (!value.contains(u' ') && !value.contains(u'\t')) {
        const std::optional<ShellQuote::Word> word = ShellQuote::readWord(ShellQuote::wordOrQuoted(value));
        FUZZ_CHECK(word && word->value == value);
    }
    return 0;
}

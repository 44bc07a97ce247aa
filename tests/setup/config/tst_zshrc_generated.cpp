#include "setup/config/Zshrc.h"

#include <QSet>
#include <QTest>

#include <random>

using namespace Qt::StringLiterals;

// Generated ~/.zshrc texts, fixed seed: the editing functions never change a byte outside the
// lines they own, and rendered rows parse back to themselves. The expectations are worked out
// here from what each function owns, not by running the same algorithm twice.
namespace {

const QList<const Zshrc::Block *> blocks{ &Zshrc::aliasesBlock, &Zshrc::environmentBlock, &Zshrc::extrasBlock };

class Generator {
public:
    explicit Generator(quint32 seed)
        : m_rng(seed)
    {
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool chance(int percent) { return below(100) < percent; }
    template<typename T> const T &pick(const QList<T> &list) { return list[below(int(list.size()))]; }

    QString text()
    {
        QStringList lines;
        const int count = below(40);
        for (int i = 0; i < count; ++i) {
            if (chance(6)) {
                const Zshrc::Block &block = *pick(blocks);
                lines << block.start << pick(m_shell) << block.end;
                continue;
            }
            lines << line();
        }
        for (QString &line : lines) {
            if (chance(12))
                line += u'\r';
        }
        QString text = lines.join(u'\n');
        if (chance(60) && !text.isEmpty())
            text += u'\n';
        return text;
    }

    QString line()
    {
        switch (below(6)) {
        case 0: {
            const Zshrc::Block &block = *pick(blocks);
            const QString marker = chance(50) ? block.start : block.end;
            return pick(QStringList{ marker, u"  "_s + marker, u"\t"_s + marker + u"  "_s, u"#"_s + marker,
                marker + u" (old)"_s, u"echo '"_s + marker + u"'"_s });
        }
        case 1:
            return pick(m_plugins);
        case 2:
            return pick(QStringList{ u"ZSH_THEME=\"robbyrussell\""_s, u"  ZSH_THEME='x' # c"_s, u"# ZSH_THEME=\"y\""_s,
                u"source $ZSH/oh-my-zsh.sh"_s, u"[[ -f ~/.p10k.zsh ]] && source ~/.p10k.zsh"_s });
        default:
            return pick(m_shell);
        }
    }

    QString aliasKey()
    {
        if (chance(15))
            return pick(
                QStringList{ QString(), u"a b"_s, u"-g"_s, u"x=y"_s, u"it's"_s, u"a;b"_s, u"$(x)"_s, u"x\ny"_s });
        QString key = chance(10) ? u"  "_s : QString();
        const QString first = u"abcXYZ_.é日"_s;
        key += first[below(int(first.size()))];
        const QString rest = u"abz09_.-+@,:/ñ"_s;
        for (int n = below(8); n > 0; --n)
            key += rest[below(int(rest.size()))];
        return key;
    }

    QString variableName()
    {
        if (chance(15))
            return pick(QStringList{ QString(), u"1A"_s, u"A-B"_s, u"A B"_s, u"É"_s, u"A\n"_s });
        QString key = pick(QStringList{ u"A"_s, u"_"_s, u"path"_s, u"X"_s });
        for (int n = below(6); n > 0; --n)
            key += u"AZaz09_"_s[below(7)];
        return key;
    }

    QString value()
    {
        static const QString alphabet = u"ab Z09'\"\\$`=#;:!*\t~ é日🎉/.-"_s;
        QString value;
        for (int n = below(14); n > 0; --n) {
            const qsizetype at = below(int(alphabet.size()));
            // Keep the surrogate pair of the emoji together.
            if (alphabet[at].isHighSurrogate())
                value += alphabet.sliced(at, 2);
            else if (!alphabet[at].isLowSurrogate())
                value += alphabet[at];
        }
        if (chance(3))
            value.insert(below(int(value.size()) + 1), pick(QStringList{ u"\n"_s, u"\r"_s }));
        return value;
    }

private:
    std::mt19937 m_rng;
    const QStringList m_shell{ QString(), u"export FOO=bar"_s, u"echo hi"_s, u"if [[ -n $X ]]; then"_s, u"fi"_s,
        u"  alias ll='ls -la'"_s, u"ls \\"_s, u"\t  -la"_s, u"# a comment"_s, u"echo café 日本語 🎉"_s, u"case $x in"_s,
        u"  a) echo;;"_s, u"esac"_s, u"function f {"_s, u"}"_s, u"export PATH=\"$HOME/bin:$PATH\""_s };
    const QStringList m_plugins{ u"plugins=(git docker)"_s, u"plugins=(git) # (x)"_s, u"plugins=("_s, u"  git # vc"_s,
        u"  docker)"_s, u")"_s, u"\tfzf helm"_s, u"plugins=()"_s, u"# plugins=(a b)"_s,
        u"  kubectl brew # tools (k8s)"_s, u"  plugins=(zsh-autosuggestions"_s };
};

QStringView lineTrimmed(QStringView line)
{
    while (!line.isEmpty() && (line.front() == u' ' || line.front() == u'\t' || line.front() == u'\r'))
        line = line.sliced(1);
    while (!line.isEmpty() && (line.back() == u' ' || line.back() == u'\t' || line.back() == u'\r'))
        line.chop(1);
    return line;
}

bool hasWholeLineBlock(const QString &text, const Zshrc::Block &block)
{
    bool started = false;
    for (const QStringView line : QStringView(text).tokenize(u'\n')) {
        started = started || lineTrimmed(line) == block.start;
        if (started && lineTrimmed(line) == block.end)
            return true;
    }
    return false;
}

QStringView blanksOnly(QStringView text)
{
    return lineTrimmed(text);
}

// T = P + X + S and R = P + block + S, with X one whole block: it starts at the start of a line
// (after blanks), ends at the end of one (before blanks or CR), holds no other whole-line start
// marker and no earlier whole-line end marker.
bool isInPlaceReplacement(
    const QString &before, const QString &after, const QString &blockText, const Zshrc::Block &block)
{
    for (qsizetype p = after.indexOf(blockText); p >= 0; p = after.indexOf(blockText, p + 1)) {
        const qsizetype suffix = after.size() - p - blockText.size();
        if (before.size() < p + suffix || before.first(p) != after.first(p)
            || before.last(suffix) != after.last(suffix))
            continue;
        const QString x = before.sliced(p, before.size() - p - suffix);
        if (!x.startsWith(block.start) || !x.endsWith(block.end))
            return false;
        const qsizetype lineStart = p == 0 ? 0 : before.lastIndexOf(u'\n', p - 1) + 1;
        if (!blanksOnly(QStringView(before).sliced(lineStart, p - lineStart)).isEmpty())
            return false;
        const qsizetype lineEnd = before.indexOf(u'\n', p + x.size());
        const QStringView rest
            = QStringView(before).sliced(p + x.size(), (lineEnd < 0 ? before.size() : lineEnd) - p - x.size());
        if (!blanksOnly(rest).isEmpty())
            return false;
        const QStringList inner = x.split(u'\n');
        for (qsizetype i = 1; i < inner.size(); ++i) {
            if (lineTrimmed(inner[i]) == block.start || (i < inner.size() - 1 && lineTrimmed(inner[i]) == block.end))
                return false;
        }
        return true;
    }
    return false;
}

// The marker lines of the other blocks, sorted.
QStringList foreignMarkers(const QString &text, const Zshrc::Block &block)
{
    QStringList markers;
    for (const QString &line : text.split(u'\n')) {
        for (const Zshrc::Block *other : blocks) {
            if (*other != block && (lineTrimmed(line) == other->start || lineTrimmed(line) == other->end))
                markers.append(line);
        }
    }
    markers.sort();
    return markers;
}

bool isAppended(const QString &before, const QString &after, const QString &blockText)
{
    if (!after.startsWith(before))
        return false;
    const QString tail = after.sliced(before.size());
    if (before.isEmpty())
        return tail == blockText + u'\n';
    return tail == (before.endsWith(u'\n') ? u"\n"_s : u"\n\n"_s) + blockText + u'\n';
}

// The statement as the file format defines it: the first line starting with "plugins=(" through
// the first line whose code holds ")".
std::optional<std::pair<qsizetype, qsizetype>> statement(const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringView t = lines[i];
        while (!t.isEmpty() && (t.front() == u' ' || t.front() == u'\t'))
            t = t.sliced(1);
        if (!t.startsWith(u"plugins=("))
            continue;
        for (qsizetype j = i; j < lines.size(); ++j) {
            if (lines[j].section(u'#', 0, 0).contains(u')'))
                return std::pair{ i, j + 1 };
        }
        return std::pair{ i, qsizetype(-1) };
    }
    return std::nullopt;
}

QSet<QString> asSet(const QStringList &list)
{
    return QSet<QString>(list.begin(), list.end());
}

bool isPlainAliasKey(const QString &key)
{
    static const QRegularExpression plain(u"^[ \\t]*[\\p{L}\\p{N}_.@,:/][\\p{L}\\p{N}_.@,:/+-]*$"_s);
    return plain.match(key).hasMatch();
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

class TestZshrcGenerated : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void editsStayInTheirLines()
    {
        Generator gen(0x5eed2024);
        const QStringList pool{ u"git"_s, u"docker"_s, u"fzf"_s, u"kubectl"_s, u"helm"_s, u"brew"_s,
            u"zsh-autosuggestions"_s };
        int replaced = 0;
        int appended = 0;
        int pluginEdits = 0;
        for (int round = 0; round < 10000; ++round) {
            const QString text = gen.text();
            const QByteArray context
                = "round " + QByteArray::number(round) + ": " + text.toUtf8().toPercentEncoding(" ");

            // upsertBlock
            const Zshrc::Block &block = *gen.pick(blocks);
            const QStringList blockContent{ u"alias a='b'"_s, u"export B=\"c\""_s };
            const QString upserted = Zshrc::upsertBlock(block, blockContent, text);
            const QString blockText
                = (QStringList{ block.start } + blockContent + QStringList{ block.end }).join(u'\n');
            if (hasWholeLineBlock(text, block)) {
                // Another block inside this one is moved out after it, never lost.
                QVERIFY2(isInPlaceReplacement(text, upserted, blockText, block)
                        || foreignMarkers(text, block) == foreignMarkers(upserted, block),
                    context);
                ++replaced;
            } else {
                QVERIFY2(isAppended(text, upserted, blockText), context);
                ++appended;
            }
            QVERIFY2(Zshrc::upsertBlock(block, blockContent, upserted) == upserted, context);
            QVERIFY2(Zshrc::blockLines(upserted, block) == blockContent, context);

            // setPlugins
            QStringList wanted = pool;
            std::shuffle(wanted.begin(), wanted.end(), std::mt19937(round));
            wanted = wanted.mid(0, gen.below(int(pool.size())) + 1);
            const Zshrc::PluginsResult plugins = Zshrc::setPlugins(wanted, text);
            const QStringList before = text.split(u'\n');
            const QStringList after = plugins.text.split(u'\n');
            const auto range = statement(before);
            if (range && range->second < 0) {
                QVERIFY2(plugins.text == text, context);
            } else if (range) {
                const auto [first, end] = *range;
                const qsizetype tail = before.size() - end;
                QVERIFY2(after.mid(0, first) == before.mid(0, first), context);
                QVERIFY2(after.mid(after.size() - tail) == before.mid(end), context);
                const auto newRange = Zshrc::pluginsRange(after);
                QVERIFY2(newRange && newRange->first == first, context);
                QVERIFY2(asSet(Zshrc::plugins(after, *newRange))
                        == (asSet(wanted) - asSet(plugins.notPlaced)) + asSet(plugins.notRemoved),
                    context);
                // Comments inside the statement are never lost.
                const QStringList statementAfter = after.mid(first, newRange->end - first);
                for (qsizetype i = first; i < end; ++i) {
                    const qsizetype hash = before[i].indexOf(u'#');
                    if (hash >= 0)
                        QVERIFY2(statementAfter.join(u'\n').contains(before[i].sliced(hash)), context);
                }
                if (plugins.notPlaced.isEmpty())
                    QVERIFY2(!Zshrc::setPlugins(wanted, plugins.text).changed, context);
                pluginEdits += plugins.changed;
            } else if (text.isEmpty()) {
                QCOMPARE(plugins.text, u"plugins=("_s + wanted.join(u' ') + u")\n"_s);
            } else {
                QVERIFY2(after.size() == before.size() + 2, context);
                qsizetype at = 0;
                while (at < before.size() && after[at] == before[at])
                    ++at;
                QStringList without = after;
                without.remove(at, 2);
                QVERIFY2(without == before, context);
                const auto newRange = Zshrc::pluginsRange(after);
                QVERIFY2(newRange && Zshrc::plugins(after, *newRange) == wanted, context);
            }

            // setTheme
            const QString themed = Zshrc::setTheme(u"powerlevel10k/powerlevel10k"_s, text);
            const QStringList themedLines = themed.split(u'\n');
            QVERIFY2(Zshrc::theme(themed) == u"powerlevel10k/powerlevel10k"_s, context);
            if (themedLines.size() == before.size()) {
                qsizetype differing = 0;
                for (qsizetype i = 0; i < before.size(); ++i)
                    differing += themedLines[i] != before[i];
                QVERIFY2(differing <= 1, context);
            } else {
                QVERIFY2(themedLines.size() == before.size() + 1, context);
                qsizetype at = 0;
                while (at < before.size() && themedLines[at] == before[at])
                    ++at;
                QStringList without = themedLines;
                without.remove(at);
                QVERIFY2(without == before, context);
            }

            // ensureP10kSource
            const QString sourced = Zshrc::ensureP10kSource(text);
            QVERIFY2(sourced.startsWith(text), context);
            if (text.contains(u"source ~/.p10k.zsh"_s))
                QVERIFY2(sourced == text, context);
        }
        // The generator must reach both branches of each function, or the test proves little.
        QVERIFY(replaced > 1000);
        QVERIFY(appended > 1000);
        QVERIFY(pluginEdits > 1000);
    }

    void rowsSurviveRenderingAndParsing()
    {
        Generator gen(0xa11a5);
        int written = 0;
        int refused = 0;
        for (int round = 0; round < 10000; ++round) {
            const bool aliases = round % 2 == 0;
            QList<KeyValue> rows;
            for (int n = gen.below(6); n >= 0; --n)
                rows.append(KeyValue::make(aliases ? gen.aliasKey() : gen.variableName(), gen.value()));
            QList<KeyValue> expected;
            for (const KeyValue &row : rows) {
                static const QRegularExpression variable(u"^[ \\t]*[A-Za-z_][A-Za-z0-9_]*$"_s);
                const bool safeKey = aliases ? isPlainAliasKey(row.key) : variable.match(row.key).hasMatch();
                if (safeKey && !hasLineBreak(row.key) && !hasLineBreak(row.value))
                    expected.append(row);
            }
            const QStringList lines = aliases ? Zshrc::aliasLines(rows) : Zshrc::exportLines(rows);
            QCOMPARE(lines.size(), expected.size());
            written += int(lines.size());
            refused += int(rows.size() - lines.size());

            const Zshrc::Block &block = aliases ? Zshrc::aliasesBlock : Zshrc::environmentBlock;
            const QString text = Zshrc::upsertBlock(block, lines, gen.text());
            const std::optional<QStringList> readBack = Zshrc::blockLines(text, block);
            QVERIFY(readBack);
            const QList<KeyValue> parsed = aliases ? Zshrc::parseAliases(*readBack) : Zshrc::parseExports(*readBack);
            QCOMPARE(parsed.size(), expected.size());
            for (qsizetype i = 0; i < parsed.size(); ++i) {
                QCOMPARE(parsed[i].key, expected[i].key);
                // An unbalanced $( or backquote of a variable is written escaped, which reads back
                // as the user's own escape: the same line, so the shell sees the same value.
                if (aliases)
                    QCOMPARE(parsed[i].value, expected[i].value);
                else
                    QCOMPARE(Zshrc::exportLine(parsed[i]), Zshrc::exportLine(expected[i]));
            }
        }
        QVERIFY(written > 10000);
        QVERIFY(refused > 1000);
    }
};

QTEST_GUILESS_MAIN(TestZshrcGenerated)
#include "tst_zshrc_generated.moc"

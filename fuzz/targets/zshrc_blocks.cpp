#include "FuzzCheck.h"
#include "setup/config/Zshrc.h"

// The shell step's block writes on a fuzzed ~/.zshrc: aliases, environment and extras upserted in
// turn. Doing it twice equals doing it once; every block reads back what was written; every line
// outside the written blocks is still in the file.
namespace {

const Zshrc::Block *const blocks[] = { &Zshrc::aliasesBlock, &Zshrc::environmentBlock, &Zshrc::extrasBlock };

QString trimmedLine(const QString &line)
{
    QString t = line;
    while (!t.isEmpty() && (t.back() == u' ' || t.back() == u'\t' || t.back() == u'\r' || t.back() == QChar(0xFEFF)))
        t.chop(1);
    while (
        !t.isEmpty() && (t.front() == u' ' || t.front() == u'\t' || t.front() == u'\r' || t.front() == QChar(0xFEFF)))
        t.remove(0, 1);
    return t;
}

// The lines that are not part of the block's span (start marker line through end marker line).
QStringList outside(const QString &text, const Zshrc::Block &block)
{
    QStringList lines = text.split(u'\n');
    qsizetype lastStart = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString t = trimmedLine(lines[i]);
        if (t == block.start) {
            lastStart = i;
        } else if (t == block.end && lastStart >= 0) {
            lines.remove(lastStart, i - lastStart + 1);
            return lines;
        }
    }
    return lines;
}

QString applyBlocks(QString text, const QList<QStringList> &content)
{
    for (int i = 0; i < 3; ++i) {
        if (content[i].isEmpty())
            continue;
        const QString before = text;
        text = Zshrc::upsertBlock(*blocks[i], content[i], text);
        FUZZ_CHECK(Zshrc::blockLines(text, *blocks[i]) == content[i]);
        // The tail of a line can merge with the block text; whole lines outside stay.
        QStringList kept = outside(before, *blocks[i]);
        QStringList now = outside(text, *blocks[i]);
        for (QString &line : kept)
            line = trimmedLine(line);
        for (QString &line : now)
            line = trimmedLine(line);
        FUZZ_CHECK(fuzz::containsAll(now, kept));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The file, then three groups of rows separated by NUL bytes.
    const QList<QByteArray> parts = fuzz::pieces(data, size, '\0', 4);
    const QString text = QString::fromUtf8(parts[0]);
    QList<KeyValue> aliases;
    QList<KeyValue> environment;
    for (int group = 1; group < 3 && group < parts.size(); ++group) {
        for (const QByteArray &line : parts[group].split('\x01')) {
            const qsizetype equals = line.indexOf('=');
            const KeyValue row = KeyValue::make(QString::fromUtf8(line.first(equals < 0 ? line.size() : equals)),
                equals < 0 ? QString() : QString::fromUtf8(line.sliced(equals + 1)));
            (group == 1 ? aliases : environment).append(row);
        }
    }
    const QString extras = parts.size() > 3 ? QString::fromUtf8(parts[3]) : QString();
    const QList<QStringList> content{ Zshrc::aliasLines(aliases), Zshrc::exportLines(environment),
        Zshrc::extraLines(extras) };
    const QString once = applyBlocks(text, content);
    FUZZ_CHECK(applyBlocks(once, content) == once);
    const QString sourced = Zshrc::ensureP10kSource(once);
    FUZZ_CHECK(sourced.startsWith(once) && Zshrc::ensureP10kSource(sourced) == sourced);
    return 0;
}

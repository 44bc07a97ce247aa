#include "setup/config/Zshrc.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/ShellQuote.h"

#include <QDateTime>
#include <QSet>

#include <array>
#include <functional>

using namespace Qt::StringLiterals;

namespace Zshrc {

namespace {

// A byte order mark some editors put in front of the first line counts as a blank, so it never
// hides the word after it.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == QChar(0xFEFF);
}

// Words of the plugin statement are separated by blanks; a "\r" of a CRLF line separates too, so
// that it never becomes part of a plugin name.
bool isWordSeparator(QChar c)
{
    return isBlank(c) || c == u'\r';
}

QStringView trimmedBlanks(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
    return text.sliced(from, to - from);
}

// Trimmed for recognising a line: blanks on both sides and the "\r" of a CRLF line ending.
QStringView trimmedLine(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && (isBlank(text[from]) || text[from] == u'\r'))
        ++from;
    while (to > from && (isBlank(text[to - 1]) || text[to - 1] == u'\r'))
        --to;
    return text.sliced(from, to - from);
}

QString leadingBlanks(QStringView text)
{
    qsizetype n = 0;
    while (n < text.size() && isBlank(text[n]))
        ++n;
    return text.first(n).toString();
}

QStringList words(QStringView text)
{
    QStringList result;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isWordSeparator(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !isWordSeparator(text[i]))
            ++i;
        if (i > start)
            result.append(text.sliced(start, i - start).toString());
    }
    return result;
}

bool endsWithCarriageReturn(QStringView line)
{
    return line.endsWith(u'\r');
}

// The part of a line before its first "#".
QStringView codeOf(QStringView line)
{
    const qsizetype hash = line.indexOf(u'#');
    return hash < 0 ? line : line.first(hash);
}

bool holdsLineBreakOrNul(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(u'\0'));
}

const std::array<const Block *, 3> &allBlocks()
{
    static const std::array<const Block *, 3> blocks{ &aliasesBlock, &environmentBlock, &extrasBlock };
    return blocks;
}

bool isMarkerLine(QStringView trimmed)
{
    for (const Block *block : allBlocks()) {
        if (trimmed == block->start || trimmed == block->end)
            return true;
    }
    return false;
}

// Where a block sits in the text: the start marker's text [start, startEnd) and the end marker's
// text [endBegin, end).
struct BlockSpan {
    qsizetype start = 0;
    qsizetype startEnd = 0;
    qsizetype endBegin = 0;
    qsizetype end = 0;
};

std::optional<BlockSpan> findBlock(const QString &text, const Block &block)
{
    std::optional<std::pair<qsizetype, qsizetype>> lastStart;
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        const QStringView line = QStringView(text).sliced(lineStart, lineEnd - lineStart);
        const QStringView marker = trimmedLine(line);
        const qsizetype markerStart = lineStart + (marker.data() - line.data());
        if (!marker.isEmpty()) {
            if (marker == block.start) {
                lastStart = { markerStart, markerStart + marker.size() };
            } else if (marker == block.end && lastStart) {
                return BlockSpan{ lastStart->first, lastStart->second, markerStart, markerStart + marker.size() };
            }
        }
        lineStart = lineEnd + 1;
    }
    return std::nullopt;
}

// The other managed blocks (and stray marker lines of them) that sit inside `block`'s span, as
// lines to keep: replacing the span must not take another block with it.
QStringList foreignLines(const QString &text, const BlockSpan &span, const Block &block)
{
    QStringList kept;
    const QStringList inner
        = QStringView(text).sliced(span.startEnd, span.endBegin - span.startEnd).toString().split(u'\n');
    for (qsizetype i = 0; i < inner.size(); ++i) {
        const QStringView marker = trimmedLine(inner[i]);
        const auto other = std::find_if(allBlocks().begin(), allBlocks().end(),
            [&](const Block *candidate) { return *candidate != block && marker == candidate->start; });
        if (other != allBlocks().end()) {
            qsizetype end = i + 1;
            while (end < inner.size() && trimmedLine(inner[end]) != (*other)->end)
                ++end;
            if (end < inner.size()) {
                kept += inner.mid(i, end - i + 1);
                i = end;
                continue;
            }
        }
        if (!marker.isEmpty() && isMarkerLine(marker))
            kept.append(inner[i]);
    }
    return kept;
}

bool isAliasNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || u"_.-+@,:/"_s.contains(c);
}

// Leading blanks are allowed in keys: the takeover keeps them from lines like `alias  ll=…`, and
// they render back into the same valid line. So are the alias kinds `-g NAME` (global), `-s NAME`
// (suffix) and `-r NAME` (regular), which the takeover finds in files written by hand.
bool isAliasKey(const QString &key)
{
    QStringView name = QStringView(key).sliced(leadingBlanks(key).size());
    if (name.size() > 3 && name[0] == u'-' && u"gsr"_s.contains(name[1]) && name[2] == u' ')
        name = name.sliced(3);
    if (name.isEmpty() || name.front() == u'-' || name.front() == u'+')
        return false;
    return std::all_of(name.begin(), name.end(), isAliasNameCharacter);
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isVariableName(const QString &key)
{
    const QStringView name = QStringView(key).sliced(leadingBlanks(key).size());
    if (name.isEmpty() || !(isAsciiLetter(name.front()) || name.front() == u'_'))
        return false;
    return std::all_of(
        name.begin(), name.end(), [](QChar c) { return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_'; });
}

// A plugin name goes into `plugins=(…)` unquoted, so it must be one plain word that no shell
// expansion touches.
bool isPlainPluginName(const QString &name)
{
    if (name.isEmpty())
        return false;
    return std::all_of(
        name.begin(), name.end(), [](QChar c) { return c.isLetterOrNumber() || u"_.-+@,:/%"_s.contains(c); });
}

QString stripOuterQuotes(QString value, QChar quote)
{
    if (value.size() > 1 && value.startsWith(quote) && value.endsWith(quote))
        return value.sliced(1, value.size() - 2);
    return value;
}

using Unquote = std::function<QString(const QString &)>;
using Problem = std::function<std::optional<QString>(const KeyValue &)>;

// The rows of the lines, and the lines whose rows we could not write back: those are kept as
// they are by the caller rather than lost at the next write.
QList<KeyValue> parseRows(const QStringList &lines, QLatin1StringView prefix, const Unquote &unquote,
    const Problem &problem, QStringList *refused = nullptr)
{
    QList<KeyValue> rows;
    for (const QString &line : lines) {
        if (!line.startsWith(prefix))
            continue;
        const qsizetype equals = line.indexOf(u'=', prefix.size());
        if (equals < 0)
            continue;
        KeyValue row
            = KeyValue::make(line.sliced(prefix.size(), equals - prefix.size()), unquote(line.sliced(equals + 1)));
        if (problem(row)) {
            if (refused)
                refused->append(line);
        } else {
            rows.append(std::move(row));
        }
    }
    return rows;
}

QString unquoteAlias(const QString &raw)
{
    return ShellQuote::unescapeSingleQuotedBody(stripOuterQuotes(raw, u'\''));
}

QString unquoteExport(const QString &raw)
{
    return ShellQuote::unescapeDoubleQuotedBody(stripOuterQuotes(raw, u'"'));
}

// Puts new lines in at the end of the file: before the final empty line when the text ends with a
// newline, so the file keeps ending with one.
void appendLines(QStringList &lines, const QStringList &added)
{
    if (lines.size() == 1 && lines.front().isEmpty()) {
        lines = added + QStringList{ QString() };
    } else if (lines.size() > 1 && lines.back().isEmpty()) {
        for (const QString &line : added)
            lines.insert(lines.size() - 1, line);
    } else {
        lines += added;
    }
}

} // namespace

QString path()
{
    return Platform::current().homePath(u".zshrc"_s);
}

QString read()
{
    return readFile().text;
}

TextFile::Contents readFile()
{
    return TextFile::read(path());
}

QString readForEditing()
{
    const TextFile::Contents contents = readFile();
    if (contents.status == TextFile::Status::unreadable)
        throw FileError(path(),
            u"The file could not be read as UTF-8 text, so it was left unchanged. Check its permissions and encoding, "
            "then try again."_s);
    return contents.text;
}

void write(const QString &text)
{
    if (readFile().status == TextFile::Status::unreadable)
        throw FileError(path(),
            u"The file could not be read as UTF-8 text, so it was not replaced: its content would have been lost. "
            "Check its permissions and encoding, then try again."_s);
    Files::writeAtomically(path(), text.toUtf8());
}

void edit(const std::function<std::optional<QString>(const QString &text)> &change)
{
    Files::withLock(path(), [&change] {
        if (const std::optional<QString> text = change(readForEditing()))
            write(*text);
    });
}

std::optional<QString> backup()
{
    const QString source = path();
    if (!Files::exists(source))
        return std::nullopt;
    const QString target = source + ".backup."_L1 + QDateTime::currentDateTime().toString(u"yyyyMMdd_HHmmss"_s);
    Files::copy(source, target);
    return target;
}

std::optional<QStringList> blockLines(const QString &text, const Block &block)
{
    const std::optional<BlockSpan> span = findBlock(text, block);
    if (!span)
        return std::nullopt;
    QStringList lines;
    const QStringView inner = QStringView(text).sliced(span->startEnd, span->endBegin - span->startEnd);
    for (const QStringView piece : inner.tokenize(u'\n', Qt::SkipEmptyParts)) {
        const QStringView line = trimmedLine(piece);
        if (!line.isEmpty())
            lines.append(line.toString());
    }
    return lines;
}

QString upsertBlock(const Block &block, const QStringList &lines, const QString &text)
{
    const QString blockText = (QStringList{ block.start } + lines + QStringList{ block.end }).join(u'\n');
    if (const std::optional<BlockSpan> span = findBlock(text, block)) {
        const QStringList foreign = foreignLines(text, *span, block);
        if (foreign.isEmpty())
            return text.first(span->start) + blockText + text.sliced(span->end);
        // The moved lines go after the rest of the end marker's line.
        qsizetype lineEnd = text.indexOf(u'\n', span->end);
        if (lineEnd < 0)
            lineEnd = text.size();
        return text.first(span->start) + blockText + text.sliced(span->end, lineEnd - span->end) + u'\n'
            + foreign.join(u'\n') + text.sliced(lineEnd);
    }
    QString result = text;
    if (!result.isEmpty() && !result.endsWith(u'\n'))
        result += u'\n';
    if (!result.isEmpty())
        result += u'\n';
    return result + blockText + u'\n';
}

QString setInstantPrompt(bool on, const QString &text)
{
    const QString bom(QChar(0xFEFF));
    const bool hasBom = text.startsWith(bom);
    QStringList lines = (hasBom ? text.mid(1) : text).split(u'\n');
    for (qsizetype i = 0; i < lines.size();) {
        if (lines[i].trimmed() != instantPromptBlock.start) {
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < lines.size() && lines[end].trimmed() != instantPromptBlock.end)
            ++end;
        if (end == lines.size())
            break; // no end marker: nothing here is known to be ours
        lines.remove(i, end - i + 1);
    }
    QString rest = lines.join(u'\n');
    if (on) {
        static const QString cache = u"\"${XDG_CACHE_HOME:-$HOME/.cache}/p10k-instant-prompt-${(%):-%n}.zsh\""_s;
        const QString block = instantPromptBlock.start + u'\n'
            + u"# Stays at the top: nothing that prints or asks for input may come before it.\n"_s + u"if [[ -r "_s
            + cache + u" ]]; then\n  source "_s + cache + u"\nfi\n"_s + instantPromptBlock.end + u'\n';
        rest = block + rest;
    }
    return (hasBom ? bom : QString()) + rest;
}

std::optional<QString> aliasProblem(const KeyValue &row)
{
    if (row.key.trimmed().isEmpty())
        return u"The alias has no name."_s;
    if (!isAliasKey(row.key))
        return u"Not a valid alias name: use letters, digits and _ . - + @ , : / only."_s;
    if (holdsLineBreakOrNul(row.value))
        return u"An alias must fit on one line."_s;
    return std::nullopt;
}

std::optional<QString> aliasLine(const KeyValue &row)
{
    if (aliasProblem(row))
        return std::nullopt;
    return "alias "_L1 + row.key + u'=' + ShellQuote::singleQuoted(row.value);
}

QStringList aliasLines(const QList<KeyValue> &rows)
{
    QStringList lines;
    for (const KeyValue &row : rows) {
        if (const std::optional<QString> line = aliasLine(row))
            lines.append(*line);
    }
    return lines;
}

std::optional<QString> exportProblem(const KeyValue &row)
{
    if (row.key.trimmed().isEmpty())
        return u"The variable has no name."_s;
    if (!isVariableName(row.key))
        return u"Not a valid variable name: use letters, digits and _, not starting with a digit."_s;
    if (holdsLineBreakOrNul(row.value))
        return u"A variable's value must fit on one line."_s;
    return std::nullopt;
}

namespace {

QStringList skippedRows(const QList<KeyValue> &rows, std::optional<QString> (*problem)(const KeyValue &))
{
    QStringList skipped;
    for (const KeyValue &row : rows) {
        if (row.key.trimmed().isEmpty() && row.value.trimmed().isEmpty())
            continue;
        const std::optional<QString> reason = problem(row);
        if (!reason)
            continue;
        // The sentence's first clause, as a phrase: "Not a valid alias name: use …" → "not a
        // valid alias name".
        QString phrase = reason->section(u':', 0, 0);
        if (phrase.endsWith(u'.'))
            phrase.chop(1);
        if (!phrase.isEmpty())
            phrase[0] = phrase[0].toLower();
        const QString name = row.key.trimmed().isEmpty() ? u"(no name)"_s : row.key;
        skipped.append(name + u" — "_s + phrase);
    }
    return skipped;
}

} // namespace

QStringList skippedAliases(const QList<KeyValue> &rows)
{
    return skippedRows(rows, aliasProblem);
}

QStringList skippedExports(const QList<KeyValue> &rows)
{
    return skippedRows(rows, exportProblem);
}

std::optional<QString> exportLine(const KeyValue &row)
{
    if (exportProblem(row))
        return std::nullopt;
    return "export "_L1 + row.key + "=\""_L1 + ShellQuote::doubleQuotedBody(row.value) + u'"';
}

QStringList exportLines(const QList<KeyValue> &rows)
{
    QStringList lines;
    for (const KeyValue &row : rows) {
        if (const std::optional<QString> line = exportLine(row))
            lines.append(*line);
    }
    return lines;
}

QStringList extraLines(const QString &text)
{
    QString normalized = text;
    normalized.replace("\r\n"_L1, "\n"_L1);
    normalized.replace(u'\r', u'\n');
    QStringList lines;
    for (const QStringView piece : QStringView(normalized).tokenize(u'\n', Qt::SkipEmptyParts)) {
        const QStringView line = trimmedBlanks(piece);
        if (!line.isEmpty() && !isMarkerLine(line))
            lines.append(line.toString());
    }
    return lines;
}

QString ensureP10kSource(const QString &text)
{
    if (text.contains("source ~/.p10k.zsh"_L1))
        return text;
    QString result = text;
    if (!result.isEmpty() && !result.endsWith(u'\n'))
        result += u'\n';
    return result + "\n# Powerlevel10k prompt config (managed by quillrig-cli)\n"_L1
        + "[[ ! -f ~/.p10k.zsh ]] || source ~/.p10k.zsh\n"_L1;
}

QList<KeyValue> parseAliases(const QStringList &lines)
{
    return parseRows(lines, "alias "_L1, unquoteAlias, aliasProblem);
}

QList<KeyValue> parseExports(const QStringList &lines)
{
    return parseRows(lines, "export "_L1, unquoteExport, exportProblem);
}

QStringList refusedAliasLines(const QStringList &lines)
{
    QStringList refused;
    parseRows(lines, "alias "_L1, unquoteAlias, aliasProblem, &refused);
    return refused;
}

QStringList refusedExportLines(const QStringList &lines)
{
    QStringList refused;
    parseRows(lines, "export "_L1, unquoteExport, exportProblem, &refused);
    return refused;
}

std::optional<LineRange> pluginsRange(const QStringList &lines)
{
    qsizetype start = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (trimmedBlanks(lines[i]).startsWith("plugins=("_L1)) {
            start = i;
            break;
        }
    }
    if (start < 0)
        return std::nullopt;
    for (qsizetype i = start; i < lines.size(); ++i) {
        if (codeOf(lines[i]).contains(u')'))
            return LineRange{ start, i + 1 };
    }
    return std::nullopt;
}

namespace {

// Where the names of one statement line are: [from, to) of the line. The first line's names start
// after "plugins=("; the last line's end at the first ")" of its code, which closes the statement
// (anything after it, like `&& plugins+=(fzf)`, is other code and is kept as it is).
struct NameSpan {
    qsizetype from = 0;
    qsizetype to = 0;
    bool closes = false; // `to` is the closing ")"
};

NameSpan nameSpan(QStringView line, bool first, bool last)
{
    const QStringView code = codeOf(line);
    NameSpan span{ 0, code.size(), false };
    if (first) {
        const qsizetype open = code.indexOf("plugins=("_L1);
        span.from = open < 0 ? code.size() : open + 9;
    }
    if (last) {
        const qsizetype close = code.indexOf(u')', span.from);
        if (close >= 0) {
            span.to = close;
            span.closes = true;
        }
    }
    return span;
}

} // namespace

QStringList plugins(const QStringList &lines, LineRange range)
{
    QStringList names;
    for (qsizetype i = range.first; i < range.end && i < lines.size(); ++i) {
        const NameSpan span = nameSpan(lines[i], i == range.first, i == range.end - 1);
        names += words(QStringView(lines[i]).sliced(span.from, span.to - span.from));
    }
    return names;
}

PluginsResult setPlugins(const QStringList &wanted, const QString &text)
{
    QStringList lines = text.split(u'\n');
    const std::optional<LineRange> range = pluginsRange(lines);

    if (!range) {
        const bool unterminated = std::any_of(lines.begin(), lines.end(),
            [](const QString &line) { return trimmedBlanks(line).startsWith("plugins=("_L1); });
        if (unterminated)
            return { text, {}, {}, false, wanted, {} };
        QStringList placed;
        QStringList unsafe;
        for (const QString &name : wanted)
            (isPlainPluginName(name) ? placed : unsafe).append(name);
        const QString statement = "plugins=("_L1 + placed.join(u' ') + u')';
        const auto source = std::find_if(lines.begin(), lines.end(),
            [](const QString &line) { return line.contains("source $ZSH/oh-my-zsh.sh"_L1); });
        if (source != lines.end()) {
            const QString ending = endsWithCarriageReturn(*source) ? u"\r"_s : QString();
            const qsizetype at = source - lines.begin();
            lines.insert(at, ending);
            lines.insert(at, statement + ending);
        } else if (text.isEmpty()) {
            appendLines(lines, { statement });
        } else {
            appendLines(lines, { QString(), statement });
        }
        return { lines.join(u'\n'), placed, {}, true, unsafe, {} };
    }

    const QStringList current = plugins(lines, *range);
    const QSet<QString> currentSet(current.begin(), current.end());
    const QSet<QString> wantedSet(wanted.begin(), wanted.end());
    QStringList toAdd;
    QStringList notPlaced;
    for (const QString &name : wanted) {
        if (!currentSet.contains(name))
            (isPlainPluginName(name) ? toAdd : notPlaced).append(name);
    }
    const QSet<QString> toRemove = currentSet - wantedSet;
    QStringList removed;
    for (const QString &name : current) {
        if (toRemove.contains(name))
            removed.append(name);
    }
    if (toAdd.isEmpty() && toRemove.isEmpty())
        return { text, {}, {}, false, notPlaced, {} };

    // Quotes, expansions or other shell code among the names: rewriting the words could change what
    // the statement means, so it is left to the user.
    if (!std::all_of(current.begin(), current.end(), isPlainPluginName))
        return { text, {}, {}, false, toAdd + notPlaced, removed };

    QStringList rebuilt;
    if (range->end - range->first == 1) {
        const QString &line = lines[range->first];
        const NameSpan span = nameSpan(line, true, true);
        QStringList names;
        for (const QString &name : current) {
            if (!toRemove.contains(name))
                names.append(name);
        }
        names += toAdd;
        rebuilt.append(leadingBlanks(line) + "plugins=("_L1 + names.join(u' ') + line.sliced(span.to));
    } else {
        for (qsizetype i = range->first; i < range->end; ++i) {
            const QString &line = lines[i];
            const bool first = i == range->first;
            const bool last = i == range->end - 1;
            if (toRemove.isEmpty()) {
                rebuilt.append(line);
                continue;
            }
            const NameSpan span = nameSpan(line, first, last);
            const qsizetype hash = line.indexOf(u'#');
            const QString comment = hash < 0 ? QString() : line.sliced(hash);
            const QString prefix = line.first(span.from);
            const QString code = line.sliced(span.from, span.to - span.from);
            const QString closing = span.closes ? codeOf(line).sliced(span.to).toString() : QString();
            const QString indent = leadingBlanks(code);
            const QStringList lineWords = words(code);
            QStringList kept;
            for (const QString &word : lineWords) {
                if (!toRemove.contains(word))
                    kept.append(word);
            }
            if (kept.size() == lineWords.size()) {
                rebuilt.append(line);
                continue;
            }
            const QString body = kept.isEmpty() ? QString() : indent + kept.join(u' ');
            if (kept.isEmpty() && !first && !last && comment.isEmpty())
                continue;
            QString result = prefix.isEmpty() && body.isEmpty() && closing.isEmpty()
                ? indent + comment
                : prefix + body + closing + (comment.isEmpty() ? QString() : u' ' + comment);
            if (endsWithCarriageReturn(line) && !endsWithCarriageReturn(result))
                result += u'\r';
            rebuilt.append(result);
        }
    }

    QStringList added = toAdd;
    if (!toAdd.isEmpty() && range->end - range->first > 1) {
        const QString closingLine = rebuilt.back();
        if (trimmedLine(closingLine) == u")") {
            const QString ending = endsWithCarriageReturn(closingLine) ? u"\r"_s : QString();
            for (const QString &name : toAdd)
                rebuilt.insert(rebuilt.size() - 1, "  "_L1 + name + ending);
        } else {
            notPlaced = toAdd + notPlaced;
            added.clear();
        }
    }

    // One pass over the file, however long it is.
    QStringList result = lines.first(range->first);
    result += rebuilt;
    result += lines.sliced(range->end);
    const QString newText = result.join(u'\n');
    const bool changed = newText != text;
    return { newText, added, changed ? removed : QStringList(), changed, notPlaced, {} };
}

namespace {

// The first ZSH_THEME= line, as both the reader and the writer recognise it.
qsizetype themeLine(const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (trimmedLine(lines[i]).startsWith("ZSH_THEME="_L1))
            return i;
    }
    return -1;
}

} // namespace

std::optional<QString> theme(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    const qsizetype at = themeLine(lines);
    if (at < 0)
        return std::nullopt;
    const QStringView rest = trimmedLine(lines[at]).sliced(10);
    if (!rest.isEmpty() && (rest.front() == u'"' || rest.front() == u'\'')) {
        const qsizetype close = rest.indexOf(rest.front(), 1);
        if (close > 0)
            return rest.sliced(1, close - 1).toString();
    } else {
        // An unquoted value ends at the first blank, like the shell reads it.
        const qsizetype blank = std::find_if(rest.begin(), rest.end(), isBlank) - rest.begin();
        return rest.first(blank).toString();
    }
    qsizetype from = 0;
    qsizetype to = rest.size();
    while (from < to && (rest[from] == u'"' || rest[from] == u'\''))
        ++from;
    while (to > from && (rest[to - 1] == u'"' || rest[to - 1] == u'\''))
        --to;
    return rest.sliced(from, to - from).toString();
}

QString setTheme(const QString &theme, const QString &text)
{
    if (std::any_of(theme.begin(), theme.end(), [](QChar c) { return u"\"\\$`\n\r"_s.contains(c); }))
        return text;
    const QString newLine = "ZSH_THEME=\""_L1 + theme + u'"';
    QStringList lines = text.split(u'\n');
    if (const qsizetype at = themeLine(lines); at >= 0) {
        QString &line = lines[at];
        const QString bom = line.startsWith(QChar(0xFEFF)) ? QString(QChar(0xFEFF)) : QString();
        line = bom + newLine + (endsWithCarriageReturn(line) ? u"\r"_s : QString());
        return lines.join(u'\n');
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView trimmed = trimmedLine(lines[i]);
        if (!trimmed.isEmpty() && !trimmed.startsWith(u'#')) {
            lines.insert(i, newLine + (endsWithCarriageReturn(lines[i]) ? u"\r"_s : QString()));
            return lines.join(u'\n');
        }
    }
    appendLines(lines, { newLine });
    return lines.join(u'\n');
}

} // namespace Zshrc

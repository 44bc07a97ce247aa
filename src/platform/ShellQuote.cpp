#include "platform/ShellQuote.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace ShellQuote {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isNameCharacter(QChar c)
{
    return isAsciiLetter(c) || isAsciiDigit(c) || c == u'_';
}

// Length of the span from `from` (an opening character) through the first `close` when every
// character in between is `allowed`; 0 when there is no such span.
template<typename Allowed> qsizetype plainSpan(QStringView text, qsizetype from, QChar close, Allowed allowed)
{
    for (qsizetype i = from + 1; i < text.size(); ++i) {
        if (text[i] == close)
            return i - from + 1;
        if (!allowed(text[i]))
            return 0;
    }
    return 0;
}

// Inside ${NAME…}: the operators that follow a name (:- := :+ :? # % /) and plain text.
bool isParameterCharacter(QChar c)
{
    return isNameCharacter(c) || u"-:=+?#%/.,@* "_s.contains(c);
}

// Inside $(…) and `…`: plain words only, so no comment, redirection or quote can reach past the
// closing character.
bool isCommandCharacter(QChar c)
{
    return isNameCharacter(c) || u"-./=:,+@% "_s.contains(c);
}

// A command made of plain words can still fail to parse when it starts a compound command.
bool startsWithReservedWord(QStringView command)
{
    static const QStringList reserved{ u"if"_s, u"then"_s, u"else"_s, u"elif"_s, u"fi"_s, u"case"_s, u"esac"_s,
        u"for"_s, u"select"_s, u"while"_s, u"until"_s, u"do"_s, u"done"_s, u"in"_s, u"function"_s, u"time"_s,
        u"coproc"_s, u"foreach"_s, u"end"_s, u"repeat"_s, u"nocorrect"_s, u"noglob"_s };
    for (const QStringView word : command.tokenize(u' ', Qt::SkipEmptyParts)) {
        if (reserved.contains(word))
            return true;
    }
    return false;
}

// Length of a command substitution whose body starts at `from` + 1 and ends at `close`; 0 when it
// is not one we keep.
qsizetype keptCommand(QStringView text, qsizetype from, QChar close)
{
    const qsizetype span = plainSpan(text, from, close, isCommandCharacter);
    if (span <= 2 || startsWithReservedWord(text.sliced(from + 1, span - 2)))
        return 0;
    return span;
}

// How many characters from `at` (a "$") form an expansion we keep as the user wrote it; 0 when
// the "$" has to be written literally.
qsizetype keptExpansion(QStringView text, qsizetype at)
{
    if (at + 1 >= text.size())
        return 0;
    const QChar next = text[at + 1];
    if (isAsciiDigit(next))
        return 2;
    if (isAsciiLetter(next) || next == u'_') {
        qsizetype end = at + 1;
        while (end < text.size() && isNameCharacter(text[end]))
            ++end;
        return end - at;
    }
    if (next == u'{') {
        if (at + 2 >= text.size() || !(isAsciiLetter(text[at + 2]) || text[at + 2] == u'_'))
            return 0;
        const qsizetype span = plainSpan(text, at + 1, u'}', isParameterCharacter);
        return span > 0 ? span + 1 : 0;
    }
    if (next == u'(') {
        const qsizetype span = keptCommand(text, at + 1, u')');
        return span > 0 ? span + 1 : 0;
    }
    return 0;
}

bool isPlainWordCharacter(QChar c)
{
    return isNameCharacter(c) || u".-+@%:,/="_s.contains(c);
}

} // namespace

QString singleQuoted(QStringView text)
{
    QString quoted = text.toString();
    quoted.replace(u'\'', "'\\''"_L1);
    return u'\'' + quoted + u'\'';
}

QString wordOrQuoted(QStringView text)
{
    // A leading "=" would be expanded to a command's path.
    if (!text.isEmpty() && text.front() != u'=' && std::all_of(text.begin(), text.end(), isPlainWordCharacter))
        return text.toString();
    return singleQuoted(text);
}

QString doubleQuotedBody(QStringView text)
{
    QString body;
    body.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == u'"') {
            body += "\\\""_L1;
        } else if (c == u'\\') {
            if (next == u'$' || next == u'`') {
                // The user's own escape that keeps the next character from expanding.
                body += c;
                body += next;
                ++i;
            } else if (next.isNull() || next == u'\\' || next == u'"') {
                // Inside double quotes the shell would drop this backslash (or, at the end, let it
                // escape the closing quote), so it is written as an escaped backslash.
                body += "\\\\"_L1;
            } else {
                body += c;
            }
        } else if (c == u'$') {
            const qsizetype kept = keptExpansion(text, i);
            if (kept == 0) {
                body += "\\$"_L1;
            } else {
                body += text.sliced(i, kept);
                i += kept - 1;
            }
        } else if (c == u'`') {
            const qsizetype span = keptCommand(text, i, u'`');
            if (span == 0) {
                body += "\\`"_L1;
            } else {
                body += text.sliced(i, span);
                i += span - 1;
            }
        } else {
            body += c;
        }
    }
    return body;
}

QString unescapeDoubleQuotedBody(QStringView body)
{
    QString value;
    value.reserve(body.size());
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar next = i + 1 < body.size() ? body[i + 1] : QChar();
        if (body[i] == u'\\' && (next == u'"' || next == u'\\')) {
            value += next;
            ++i;
        } else {
            value += body[i];
        }
    }
    return value;
}

QString unescapeSingleQuotedBody(QStringView body)
{
    return body.toString().replace("'\\''"_L1, "'"_L1);
}

std::optional<Word> readWord(QStringView text)
{
    Word word;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u' ' || c == u'\t')
            break;
        if (c == u'\'') {
            const qsizetype close = text.indexOf(u'\'', i + 1);
            if (close < 0)
                return std::nullopt;
            word.value += text.sliced(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == u'"') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    return std::nullopt;
                const QChar d = text[i];
                if (d == u'"')
                    break;
                if (d == u'\\' && i + 1 < text.size() && u"\"\\$`"_s.contains(text[i + 1])) {
                    word.value += text[i + 1];
                    i += 2;
                } else {
                    word.value += d;
                    ++i;
                }
            }
            ++i;
        } else if (c == u'\\') {
            if (i + 1 < text.size())
                word.value += text[i + 1];
            i += 2;
        } else {
            word.value += c;
            ++i;
        }
    }
    word.length = std::min(i, text.size());
    return word;
}

} // namespace ShellQuote

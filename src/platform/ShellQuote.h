#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Quoting and unquoting of shell words, for the lines we write into the user's shell files. Every
// text made here is one complete shell word: whatever the value holds, the line it goes into
// still parses, and the lines after it still run.
namespace ShellQuote {

// 'text' with every ' written as '\'' : the shell reads it back exactly, nothing expands.
QString singleQuoted(QStringView text);
// The text as it stands when it is one plain word the shell takes literally (letters, digits and
// _ . - + @ % : , / =), else singleQuoted().
QString wordOrQuoted(QStringView text);

// The inside of a double-quoted word (without the quotes) that keeps what the user means to
// expand: $NAME, $1, ${NAME} and ${NAME<operator>text} with plain text, and $(command) and
// `command` made of plain words (no quotes, comments, redirections, nesting or compound commands).
// Every other $ and backquote is escaped, so an unbalanced `$(`, `${` or backquote is read
// literally instead of swallowing the rest of the file. `"` becomes `\"`; a backslash the shell
// would eat (before `\` or `"`, at the end) is doubled; `\$` and `` \` `` are the user's own escapes
// and stay.
QString doubleQuotedBody(QStringView text);
// The value of a double-quoted body as our readers take it back: `\"` and `\\` become `"` and `\`,
// every other backslash stays.
QString unescapeDoubleQuotedBody(QStringView body);
// The body of a single-quoted value (quotes removed) with every '\'' read as '.
QString unescapeSingleQuotedBody(QStringView body);

// One shell word read from the start of `text`, the way the shell reads an assignment's value:
// unquoted characters, '…' taken literally, "…" with \ before " \ $ ` taken away, and a backslash
// outside quotes escaping the next character. The word ends at an unquoted blank or at the end.
struct Word {
    QString value;
    qsizetype length = 0; // characters of `text` the word takes up
};
// None when a quote is left open.
std::optional<Word> readWord(QStringView text);

} // namespace ShellQuote

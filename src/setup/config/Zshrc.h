#pragma once

#include "setup/config/KeyValue.h"
#include "setup/config/TextFile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// ~/.zshrc: reading, writing and backing it up, the blocks between our marker lines (shared with
// quillrig-cli), the plugin list and the theme line. Everything but read/readFile/readForEditing/
// write/backup works on text values; the rest of the file is never touched.
//
// Lines are the text split at every "\n" and joined back with "\n", so a final newline survives
// as an empty last line. A "\r" before the "\n" belongs to its line and is kept on lines that are
// edited in place.
namespace Zshrc {

// The exact marker lines of one managed block.
struct Block {
    QString start;
    QString end;

    bool operator==(const Block &) const = default;
};

inline const Block aliasesBlock{ QStringLiteral("# Custom aliases (managed by quillrig-cli)"),
    QStringLiteral("# End custom aliases") };
inline const Block environmentBlock{ QStringLiteral("# Environment variables (managed by quillrig-cli)"),
    QStringLiteral("# End environment variables") };
inline const Block extrasBlock{ QStringLiteral("# Extra configuration (managed by quillrig-cli)"),
    QStringLiteral("# End extra configuration") };
// Powerlevel10k's instant prompt: it only works when its cache is sourced before anything else in
// ~/.zshrc, so this block always stands at the top of the file.
inline const Block instantPromptBlock{ QStringLiteral("# Powerlevel10k instant prompt (managed by quillrig-cli)"),
    QStringLiteral("# End Powerlevel10k instant prompt") };

// The text with the instant-prompt block at its very top (after a byte-order mark) when `on`, and
// without it otherwise. Every copy of the block found elsewhere goes, so there is never more than
// one; a start marker without its end marker is left alone with everything after it. Other lines
// are kept byte for byte.
QString setInstantPrompt(bool on, const QString &text);

QString path();

// --- The file ---------------------------------------------------------------------------------
//
// How an editing step should use these: readForEditing(), change the text, write(). That fails
// with a FileError before anything is lost when ~/.zshrc exists but is not readable UTF-8 text.
// Code that follows the plain read()/write() sequence is safe as well, because write() itself
// refuses to replace such a file; readForEditing() only lets the step fail before it does other
// work.

// The text of ~/.zshrc; the empty text when it is missing or not readable as UTF-8. Meant for
// looking (status checks, takeover), not for editing: use readForEditing() for that.
QString read();
// Tells a missing ~/.zshrc (status missing) from one that cannot be read (status unreadable).
TextFile::Contents readFile();
// The text to edit: the file's text, or the empty text when there is no file. Throws FileError
// when the file exists but cannot be read or is not UTF-8.
QString readForEditing();
// Replaces ~/.zshrc atomically with the text as UTF-8 (a symbolic link is followed, the file's
// permissions stay). Throws FileError, also without writing when the existing file cannot be
// read as UTF-8 text, since the new text cannot contain what was in it.
void write(const QString &text);
// One read-modify-write of ~/.zshrc under the file's lock, so another process editing it at the
// same time (the command-line tool) cannot interleave: hands the text to edit (readForEditing())
// to `change` and writes what it returns; nothing is written when it returns none.
void edit(const std::function<std::optional<QString>(const QString &text)> &change);
// Copies ~/.zshrc to ~/.zshrc.backup.<yyyyMMdd_HHmmss> (local time) and returns that path; none
// when there is no ~/.zshrc. Throws FileError, for example when a backup with the same stamp
// exists already (two backups within one second).
std::optional<QString> backup();

// --- Managed blocks ---------------------------------------------------------------------------
//
// A marker counts only as a line of its own (spaces, tabs and a final "\r" around it allowed);
// the same text inside another line (an echo, a longer comment, an alias value) is not a marker.
// A block is the first end marker that follows a start marker, paired with the nearest start
// marker before it. So a start marker left without its end marker (an "orphan") never pairs with
// the end marker of a later block, and what lies between them is never taken for block content.

// The non-empty lines between the block's markers, trimmed; none when the block is absent.
std::optional<QStringList> blockLines(const QString &text, const Block &block);
// Replaces the block, from its start marker through its end marker, with the start marker, the
// lines and the end marker joined by "\n". Another managed block found inside it (or a stray
// marker line of one) is not part of its content: it is kept, right after the block. An absent
// block is appended at the end of the text, after a blank line when the text is not empty.
QString upsertBlock(const Block &block, const QStringList &lines, const QString &text);

// Why a row cannot be written, as a sentence to show beside it; none when it can. An alias needs
// a plain alias name (letters, digits and _ . - + @ , : / ; not starting with - or +; spaces and
// tabs in front, and a -g, -s or -r kind before it, are allowed); a variable needs a shell
// variable name; neither value may hold a line break or NUL.
std::optional<QString> aliasProblem(const KeyValue &row);
std::optional<QString> exportProblem(const KeyValue &row);
// The rows the writer leaves out, each as "name — short reason" ("g st — not a valid alias
// name"), in order. Blank rows (no name, no value) are left out of the list as well: there is
// nothing in them to lose.
QStringList skippedAliases(const QList<KeyValue> &rows);
QStringList skippedExports(const QList<KeyValue> &rows);

// One `alias key='value'` line, or none when aliasProblem() has a reason.
std::optional<QString> aliasLine(const KeyValue &row);
// The lines of the rows that aliasLine() can write, in order.
QStringList aliasLines(const QList<KeyValue> &rows);
// One `export KEY="value"` line, or none when exportProblem() has a reason. The value is quoted
// by ShellQuote::doubleQuotedBody(): $HOME, ${NAME}, $(command) and `command` expand as the user
// wrote them, and anything that would leave the line unfinished for the shell (an unbalanced
// `$(`, `${` or backquote) is written so the shell reads it literally.
std::optional<QString> exportLine(const KeyValue &row);
QStringList exportLines(const QList<KeyValue> &rows);
// The non-empty lines of the free text, trimmed. CR, LF and CRLF all end a line. A line that is
// one of the marker lines is left out: it would cut its block in two.
QStringList extraLines(const QString &text);
// Appends the Powerlevel10k source line unless the text sources ~/.p10k.zsh somewhere already.
QString ensureP10kSource(const QString &text);

// The inverses of aliasLines() and exportLines() (also for lines written by quillrig-cli).
// Lines that are not alias or export lines are skipped; every row gets a fresh id. A line whose
// row could not be written back (aliasProblem()/exportProblem()) gives no row: it is one of the
// refused lines below, which the takeover keeps as extra lines so nothing of it is lost.
QList<KeyValue> parseAliases(const QStringList &lines);
QList<KeyValue> parseExports(const QStringList &lines);
QStringList refusedAliasLines(const QStringList &lines);
QStringList refusedExportLines(const QStringList &lines);

// --- Plugin list and theme line ---------------------------------------------------------------

// Lines [first, end) of a list of lines.
struct LineRange {
    qsizetype first = 0;
    qsizetype end = 0;

    bool isEmpty() const { return end <= first; }
    bool operator==(const LineRange &) const = default;
};

// The `plugins=(...)` statement: from the first line that starts (after blanks) with "plugins=("
// to the first line whose code (the part before "#") holds ")". None when either is missing.
std::optional<LineRange> pluginsRange(const QStringList &lines);
// The names in the statement, in file order; comments and code after the closing ")" (the first
// ")" on the last line) are left out.
QStringList plugins(const QStringList &lines, LineRange range);

struct PluginsResult {
    QString text;
    QStringList added;
    QStringList removed;
    bool changed = false; // the text differs and must be written
    // Names that should have been added but were not: the statement's layout has no safe place
    // for them, or the name itself is not a plain word (it would break the statement).
    QStringList notPlaced;
    // Names that should have been removed but were left: the statement holds shell code beyond
    // plain names (quotes, expansions), which is not rewritten.
    QStringList notRemoved;

    bool operator==(const PluginsResult &) const = default;
};

// Makes the statement list exactly the wanted names, editing it where it stands: removed names go
// from their lines (comments stay), new names go in the statement's own style. A statement whose
// closing ")" cannot be found, or whose names are not all plain words, is left alone and what
// could not be done is reported in notPlaced and notRemoved. `changed` is true only when the text
// differs.
PluginsResult setPlugins(const QStringList &wanted, const QString &text);

// The value of the first ZSH_THEME= line, without its quotes (and without a comment after a
// quoted value); none when there is no such line.
std::optional<QString> theme(const QString &text);
// Replaces the first ZSH_THEME= line with ZSH_THEME="<name>", or inserts that line before the
// first line that is neither blank nor a comment. A name that cannot stand between double quotes
// as it is (a quote, backslash, $, backquote or line break) leaves the text unchanged.
QString setTheme(const QString &theme, const QString &text);

} // namespace Zshrc

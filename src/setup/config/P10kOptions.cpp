#include "setup/config/P10kOptions.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/ShellQuote.h"
#include "setup/config/TextFile.h"

#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

const auto elementsOpening = "POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=("_L1;

// The right-prompt element list. Normally the elements stand one per line between the opening
// line and a line ")"; a list written on one line has its elements in the opening line itself and
// must not be taken to run on to some later array's closing line.
struct ElementList {
    qsizetype opening = 0;
    qsizetype closing = 0; // the ")" line; equals `opening` for a one-line list
    bool oneLine() const { return closing == opening; }
};

QStringView codeOf(QStringView line)
{
    const qsizetype hash = line.indexOf(u'#');
    return hash < 0 ? line : line.first(hash);
}

// The list's own line: the assignment stands first on it, after nothing but `typeset` and its
// flags. The same text inside another setting's value, or after it on its line, is not the list.
bool isElementsOpening(const QString &line)
{
    static const QRegularExpression opening(
        u"^[ \\t]*(typeset([ \\t]+-[A-Za-z]+)*[ \\t]+)?POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=\\("_s);
    return opening.match(line).hasMatch();
}

std::optional<ElementList> findElementList(const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isElementsOpening(lines[i]))
            continue;
        const QStringView code = codeOf(lines[i]);
        const qsizetype open = code.indexOf(elementsOpening);
        if (code.sliced(open + elementsOpening.size()).contains(u')'))
            return ElementList{ i, i };
        for (qsizetype j = i + 1; j < lines.size(); ++j) {
            if (lines[j].trimmed() == u")")
                return ElementList{ i, j };
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool isTimeElement(const QString &content)
{
    return content == u"time" || content.startsWith("time "_L1) || content.startsWith("time\t"_L1);
}

// An element line without its comment mark: the trimmed line with one leading "#" removed.
QString elementContent(const QString &line)
{
    QString content = line.trimmed();
    if (content.startsWith(u'#'))
        content = content.sliced(1).trimmed();
    return content;
}

QString lineEnding(const QString &line)
{
    return line.endsWith(u'\r') ? u"\r"_s : QString();
}

// The span of a one-line list's elements: between "=(" and the first ")" after it.
std::pair<qsizetype, qsizetype> oneLineElements(const QString &line)
{
    const qsizetype from = line.indexOf(elementsOpening) + elementsOpening.size();
    return { from, line.indexOf(u')', from) };
}

QRegularExpression settingPattern(const QString &name)
{
    // Compiled once per setting name: the options are read and written a few times per edit.
    static thread_local QHash<QString, QRegularExpression> patterns;
    if (const auto it = patterns.constFind(name); it != patterns.cend())
        return *it;
    return patterns[name]
        = QRegularExpression("^([ \\t]*typeset -g "_L1 + QRegularExpression::escape(name) + "=)([^\\n]*?)(\\r?)$"_L1,
            QRegularExpression::MultilineOption);
}

// The value after "=" as the shell reads it, and where a trailing comment starts in `raw` (-1 when
// there is none to keep). A value the shell would not read as one word on its own is taken as it
// stands, trimmed, without surrounding single quotes.
struct SettingValue {
    QString value;
    qsizetype commentFrom = -1;
};

SettingValue readValue(QStringView raw)
{
    while (!raw.isEmpty() && (raw.front() == u' ' || raw.front() == u'\t'))
        raw = raw.sliced(1);
    if (const std::optional<ShellQuote::Word> word = ShellQuote::readWord(raw)) {
        QStringView rest = raw.sliced(word->length);
        while (!rest.isEmpty() && (rest.front() == u' ' || rest.front() == u'\t'))
            rest = rest.sliced(1);
        if (rest.isEmpty())
            return { word->value, -1 };
        if (rest.front() == u'#')
            return { word->value, word->length };
    }
    while (!raw.isEmpty() && (raw.back() == u' ' || raw.back() == u'\t'))
        raw.chop(1);
    if (raw.size() > 1 && raw.startsWith(u'\'') && raw.endsWith(u'\''))
        return { ShellQuote::unescapeSingleQuotedBody(raw.sliced(1, raw.size() - 2)), -1 };
    return { raw.toString(), -1 };
}

// Rewrites every line of the setting that does not already read as wanted (`holds`), with
// `written` as its new value; a comment after the old value stays. A line that already holds the
// value is kept exactly as the user formatted it (double quotes, spacing, a comment).
template<typename Holds>
QString replaceSetting(const QString &text, const QString &name, const QString &written, Holds holds)
{
    const QRegularExpression pattern = settingPattern(name);
    if (!pattern.isValid())
        return text;
    QString result;
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const SettingValue current = readValue(match.capturedView(2));
        if (holds(current.value))
            continue;
        result += QStringView(text).sliced(done, match.capturedStart() - done);
        // Built by hand rather than with a replacement template, so "$" and "\" in the value are
        // written as they are.
        result += match.capturedView(1);
        result += written;
        if (current.commentFrom >= 0) {
            QStringView raw = match.capturedView(2);
            while (!raw.isEmpty() && (raw.front() == u' ' || raw.front() == u'\t'))
                raw = raw.sliced(1);
            result += raw.sliced(current.commentFrom);
        }
        result += match.capturedView(3);
        done = match.capturedEnd();
    }
    result += QStringView(text).sliced(done);
    return result;
}

// A value with a line break or NUL cannot be written into one line; its lines stay as they are.
bool fitsOnALine(const QString &value)
{
    return !value.contains(u'\n') && !value.contains(u'\r') && !value.contains(QChar(u'\0'));
}

QString replaceTextSetting(const QString &text, const QString &name, const QString &value, const QString &written)
{
    if (!fitsOnALine(value))
        return text;
    return replaceSetting(text, name, written, [&](const QString &current) { return current == value; });
}

} // namespace

const QList<P10kOptions::Choice> &P10kOptions::timeFormats()
{
    static const QList<Choice> choices{
        { u"%D{%H:%M:%S}"_s, u"24-hour with seconds (14:30:05)"_s, {} },
        { u"%D{%H:%M}"_s, u"24-hour (14:30)"_s, {} },
        { u"%D{%I:%M %p}"_s, u"12-hour (02:30 PM)"_s, {} },
    };
    return choices;
}

const QList<P10kOptions::Choice> &P10kOptions::transientPrompts()
{
    static const QList<Choice> choices{
        { u"off"_s, u"Off"_s, u"Keep the full prompt in the scrollback"_s },
        { u"always"_s, u"Always"_s, u"Trim old prompts down to just the command line"_s },
        { u"same-dir"_s, u"Same directory"_s, u"Trim, except for the first command after `cd`"_s },
    };
    return choices;
}

const QList<P10kOptions::Choice> &P10kOptions::instantPrompts()
{
    static const QList<Choice> choices{
        { u"verbose"_s, u"On, warn about console output"_s, {} },
        { u"quiet"_s, u"On, no warnings"_s, {} },
        { u"off"_s, u"Off"_s, {} },
    };
    return choices;
}

QString P10kOptions::sampleTime(const QString &format)
{
    if (format == u"%D{%H:%M}")
        return u"14:30"_s;
    if (format == u"%D{%I:%M %p}")
        return u"02:30 PM"_s;
    return u"14:30:05"_s;
}

QString P10kOptions::path()
{
    return Platform::current().homePath(u".p10k.zsh"_s);
}

P10kOptions P10kOptions::load()
{
    const TextFile::Contents contents = TextFile::read(path());
    if (contents.status != TextFile::Status::readable)
        return P10kOptions{};
    return fromText(contents.text);
}

P10kOptions P10kOptions::fromText(const QString &text)
{
    const P10kOptions defaults;
    P10kOptions options;
    options.showTime = showsTime(text);
    options.timeFormat = setting(text, u"POWERLEVEL9K_TIME_FORMAT"_s).value_or(defaults.timeFormat);
    options.transientPrompt = setting(text, u"POWERLEVEL9K_TRANSIENT_PROMPT"_s).value_or(defaults.transientPrompt);
    const std::optional<QString> newline = setting(text, u"POWERLEVEL9K_PROMPT_ADD_NEWLINE"_s);
    options.blankLineBetweenPrompts = !newline || *newline == u"true";
    options.instantPrompt = setting(text, u"POWERLEVEL9K_INSTANT_PROMPT"_s).value_or(defaults.instantPrompt);
    return options;
}

bool P10kOptions::write() const
{
    const QString file = path();
    bool written = false;
    try {
        // Under the file's lock, so an edit by another process in between is not written over.
        Files::withLock(file, [&] {
            const TextFile::Contents contents = TextFile::read(file);
            if (contents.status != TextFile::Status::readable)
                return;
            const QString applied = appliedTo(contents.text);
            if (applied != contents.text)
                Files::writeAtomically(file, applied.toUtf8());
            written = true;
        });
    } catch (const Error &) {
        return false;
    }
    return written;
}

QString P10kOptions::appliedTo(const QString &text) const
{
    QString result
        = replaceTextSetting(text, u"POWERLEVEL9K_TIME_FORMAT"_s, timeFormat, ShellQuote::singleQuoted(timeFormat));
    result = replaceTextSetting(
        result, u"POWERLEVEL9K_TRANSIENT_PROMPT"_s, transientPrompt, ShellQuote::wordOrQuoted(transientPrompt));
    result
        = replaceSetting(result, u"POWERLEVEL9K_PROMPT_ADD_NEWLINE"_s, blankLineBetweenPrompts ? u"true"_s : u"false"_s,
            [&](const QString &current) { return (current == u"true") == blankLineBetweenPrompts; });
    result = replaceTextSetting(
        result, u"POWERLEVEL9K_INSTANT_PROMPT"_s, instantPrompt, ShellQuote::wordOrQuoted(instantPrompt));
    return withTime(result, showTime);
}

void P10kOptions::openConfigureInTerminal()
{
    QProcess process;
    process.setProgram(Platform::current().systemPath(u"/usr/bin/osascript"_s));
    process.setArguments({ u"-e"_s, configureScript() });
    process.setProcessEnvironment(Platform::current().environment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.startDetached();
}

QString P10kOptions::configureScript()
{
    return u"tell application \"Terminal\"\n"
           "    activate\n"
           "    do script \"exec zsh -ic 'p10k configure'\"\n"
           "end tell"_s;
}

std::optional<QString> P10kOptions::setting(const QString &text, const QString &name)
{
    const QRegularExpressionMatch match = settingPattern(name).match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return readValue(match.capturedView(2)).value;
}

bool P10kOptions::showsTime(const QString &text)
{
    const QStringList lines = text.split(u'\n');
    const std::optional<ElementList> list = findElementList(lines);
    if (!list)
        return false;
    if (list->oneLine()) {
        const auto [from, to] = oneLineElements(lines[list->opening]);
        return lines[list->opening]
            .sliced(from, to - from)
            .simplified()
            .split(u' ', Qt::SkipEmptyParts)
            .contains(u"time"_s);
    }
    for (qsizetype i = list->opening + 1; i < list->closing; ++i) {
        const QString trimmed = lines[i].trimmed();
        if (!trimmed.startsWith(u'#') && isTimeElement(trimmed))
            return true;
    }
    return false;
}

QString P10kOptions::withTime(const QString &text, bool on)
{
    QStringList lines = text.split(u'\n');
    const std::optional<ElementList> list = findElementList(lines);
    if (!list)
        return text;

    if (list->oneLine()) {
        QString &line = lines[list->opening];
        const auto [from, to] = oneLineElements(line);
        QStringList elements = line.sliced(from, to - from).simplified().split(u' ', Qt::SkipEmptyParts);
        if (elements.contains(u"time"_s) == on)
            return text;
        if (on)
            elements.append(u"time"_s);
        else
            elements.removeAll(u"time"_s);
        line = line.first(from) + elements.join(u' ') + line.sliced(to);
        return lines.join(u'\n');
    }

    // Every active time element counts when reading, so turning the time off comments out all of
    // them, and turning it on uses an active one before bringing back a commented-out one.
    qsizetype active = -1;
    qsizetype commented = -1;
    for (qsizetype i = list->opening + 1; i < list->closing; ++i) {
        if (!isTimeElement(elementContent(lines[i])))
            continue;
        if (lines[i].trimmed().startsWith(u'#')) {
            if (commented < 0)
                commented = i;
        } else {
            if (!on)
                lines[i] = "    # "_L1 + elementContent(lines[i]) + lineEnding(lines[i]);
            else if (active < 0)
                active = i;
        }
    }
    if (on) {
        if (const qsizetype at = active >= 0 ? active : commented; at >= 0)
            lines[at] = "    "_L1 + elementContent(lines[at]) + lineEnding(lines[at]);
        else
            lines.insert(
                list->closing, "    time                    # current time"_L1 + lineEnding(lines[list->closing]));
    }
    return lines.join(u'\n');
}

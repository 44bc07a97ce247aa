#include "setup/config/P10kOptions.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "setup/config/TextFile.h"

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

std::optional<ElementList> findElementList(const QStringList &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (trimmed.startsWith(u'#') || !trimmed.contains(elementsOpening))
            continue;
        const QStringView code = codeOf(lines[i]);
        const qsizetype open = code.indexOf(elementsOpening);
        if (open >= 0 && code.sliced(open + elementsOpening.size()).contains(u')'))
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

// Rewrites the lines of one setting. A setting that already reads as `wanted` is left as it is,
// so confirming unchanged options never rewrites a line the user formatted differently (double
// quotes, spacing).
QString replaceSetting(const QString &text, const QString &name, const QString &value, const QString &wanted)
{
    if (P10kOptions::setting(text, name) == wanted)
        return text;
    const QRegularExpression pattern(
        "^([ \\t]*typeset -g "_L1 + QRegularExpression::escape(name) + "=)[^\\n]*?(\\r?)$"_L1,
        QRegularExpression::MultilineOption);
    if (!pattern.isValid())
        return text;
    // Built by hand rather than with a replacement template, so "$" and "\" in the value are
    // written as they are.
    QString result;
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += QStringView(text).sliced(done, match.capturedStart() - done);
        result += match.captured(1) + value + match.captured(2);
        done = match.capturedEnd();
    }
    result += QStringView(text).sliced(done);
    return result;
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
    const TextFile::Contents contents = TextFile::read(file);
    if (contents.status != TextFile::Status::readable)
        return false;
    const QString applied = appliedTo(contents.text);
    if (applied == contents.text)
        return true;
    try {
        Files::writeAtomically(file, applied.toUtf8());
    } catch (const Error &) {
        return false;
    }
    return true;
}

QString P10kOptions::appliedTo(const QString &text) const
{
    QString quotedFormat = timeFormat;
    quotedFormat.replace(u'\'', "'\\''"_L1);
    QString result = replaceSetting(text, u"POWERLEVEL9K_TIME_FORMAT"_s, u'\'' + quotedFormat + u'\'', timeFormat);
    result = replaceSetting(result, u"POWERLEVEL9K_TRANSIENT_PROMPT"_s, transientPrompt, transientPrompt);
    const QString newline = blankLineBetweenPrompts ? u"true"_s : u"false"_s;
    result = replaceSetting(result, u"POWERLEVEL9K_PROMPT_ADD_NEWLINE"_s, newline, newline);
    result = replaceSetting(result, u"POWERLEVEL9K_INSTANT_PROMPT"_s, instantPrompt, instantPrompt);
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
    const QRegularExpression pattern(
        "^[ \\t]*typeset -g "_L1 + QRegularExpression::escape(name) + "=(.+)$"_L1, QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QStringView value = match.capturedView(1);
    if (value.endsWith(u'\r'))
        value.chop(1);
    while (!value.isEmpty() && (value.front() == u' ' || value.front() == u'\t'))
        value = value.sliced(1);
    while (!value.isEmpty() && (value.back() == u' ' || value.back() == u'\t'))
        value.chop(1);
    if (value.size() > 1 && value.startsWith(u'\'') && value.endsWith(u'\'')) {
        // A quote inside single quotes is written as '\'' (see appliedTo).
        return value.sliced(1, value.size() - 2).toString().replace("'\\''"_L1, "'"_L1);
    }
    return value.toString();
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

    for (qsizetype i = list->opening + 1; i < list->closing; ++i) {
        const QString content = elementContent(lines[i]);
        if (!isTimeElement(content))
            continue;
        const bool active = !lines[i].trimmed().startsWith(u'#');
        if (active == on)
            return text;
        lines[i] = (on ? "    "_L1 : "    # "_L1) + content + lineEnding(lines[i]);
        return lines.join(u'\n');
    }
    if (!on)
        return text;
    lines.insert(list->closing, "    time                    # current time"_L1 + lineEnding(lines[list->closing]));
    return lines.join(u'\n');
}

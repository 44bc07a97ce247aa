#include "Brewfile.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace fakebrew::Brewfile {

namespace {

// Reads a quoted string starting at `at`; false when it is not one or never ends.
bool readString(const QString &line, qsizetype &at, QString &value)
{
    if (at >= line.size() || (line.at(at) != u'"' && line.at(at) != u'\''))
        return false;
    const QChar quote = line.at(at++);
    value.clear();
    while (at < line.size()) {
        const QChar c = line.at(at++);
        if (c == quote)
            return true;
        if (c == u'\\' && at < line.size()) {
            value.append(line.at(at++));
            continue;
        }
        value.append(c);
    }
    return false;
}

// The text before a comment that is not inside a string.
QString withoutComment(const QString &text)
{
    QChar quote;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == u'\\')
                ++i;
            else if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'#') {
            return text.left(i);
        }
    }
    return text;
}

} // namespace

QList<QString> typeOrder()
{
    return { u"tap"_s, u"brew"_s, u"cask"_s, u"mas"_s, u"vscode"_s, u"go"_s, u"cargo"_s, u"uv"_s, u"flatpak"_s,
        u"winget"_s };
}

Parsed parse(const QString &text)
{
    static const QRegularExpression directive(u"^([a-z_]+)\\s*(\\(?)\\s*"_s);
    static const QRegularExpression masId(u"(?:^|,)\\s*id:\\s*(\\d+)\\s*(?:,|$)"_s);
    Parsed parsed;
    const QStringList lines = text.split(u'\n');
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const int lineNumber = int(number + 1);
        const QString line = withoutComment(lines.at(number)).trimmed();
        if (line.isEmpty())
            continue;
        const QRegularExpressionMatch match = directive.match(line);
        const QString type = match.captured(1);
        if (!match.hasMatch() || (!typeOrder().contains(type) && type != u"cask_args"_s)) {
            parsed.error = u"unknown entry `%1` on line %2"_s.arg(line.section(u' ', 0, 0)).arg(lineNumber);
            return parsed;
        }
        QString rest = line.mid(match.capturedLength());
        if (!match.captured(2).isEmpty()) {
            if (!rest.endsWith(u')')) {
                parsed.error = u"missing `)` on line %1"_s.arg(lineNumber);
                return parsed;
            }
            rest.chop(1);
        }
        if (type == u"cask_args"_s)
            continue;
        Entry entry{ .type = type, .line = lineNumber };
        qsizetype at = 0;
        if (!readString(rest, at, entry.name) || entry.name.trimmed().isEmpty()) {
            parsed.error = u"`%1` needs a quoted name on line %2"_s.arg(type).arg(lineNumber);
            return parsed;
        }
        const QString after = rest.mid(at).trimmed();
        if (!after.isEmpty() && !after.startsWith(u',')) {
            parsed.error = u"unexpected `%1` on line %2"_s.arg(after).arg(lineNumber);
            return parsed;
        }
        entry.options = after.mid(1).trimmed();
        if (!after.isEmpty() && entry.options.isEmpty()) {
            parsed.error = u"missing options after `,` on line %1"_s.arg(lineNumber);
            return parsed;
        }
        if (type == u"mas"_s) {
            const QRegularExpressionMatch id = masId.match(entry.options);
            if (!id.hasMatch()) {
                parsed.error = u"`mas \"%1\"` needs an `id:` on line %2"_s.arg(entry.name).arg(lineNumber);
                return parsed;
            }
            entry.masId = id.captured(1).toLongLong();
        }
        parsed.entries.append(entry);
    }
    return parsed;
}

QString quoted(const QString &name)
{
    QString escaped = name;
    escaped.replace(u"\\"_s, u"\\\\"_s).replace(u"\""_s, u"\\\""_s);
    return u'"' + escaped + u'"';
}

bool wantsService(const Entry &entry)
{
    static const QRegularExpression service(u"\\b(start_service|restart_service):\\s*([^,\\s]+)"_s);
    const QRegularExpressionMatch match = service.match(entry.options);
    return match.hasMatch() && match.captured(2) != u"false"_s;
}

} // namespace fakebrew::Brewfile

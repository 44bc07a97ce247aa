#include "setup/engine/UnifiedDiff.h"

#include <QStringList>

#include <dtl/dtl.hpp>
#include <sstream>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace UnifiedDiff {

namespace {

// Lines without their "\n"; a final line without one is kept and remembered, so a change of the
// final newline alone still shows.
std::vector<std::string> splitLines(const QString &text, bool &endsWithNewline)
{
    std::vector<std::string> lines;
    const QStringList pieces = text.split(u'\n');
    endsWithNewline = text.isEmpty() || text.endsWith(u'\n');
    const qsizetype count = endsWithNewline ? pieces.size() - 1 : pieces.size();
    lines.reserve(size_t(std::max<qsizetype>(count, 0)));
    for (qsizetype i = 0; i < count; ++i)
        lines.push_back(pieces[i].toStdString());
    return lines;
}

} // namespace

QString diff(const QString &label, const QString &before, const QString &after, bool beforeExists)
{
    if (before == after && beforeExists)
        return {};
    bool beforeNewline = true;
    bool afterNewline = true;
    std::vector<std::string> a = splitLines(before, beforeNewline);
    std::vector<std::string> b = splitLines(after, afterNewline);
    // The last line differs only in its newline: mark it so the diff shows that line changing.
    if (beforeNewline != afterNewline) {
        if (!beforeNewline && !a.empty())
            a.back() += "\n\\ No newline at end of file";
        if (!afterNewline && !b.empty())
            b.back() += "\n\\ No newline at end of file";
    }

    dtl::Diff<std::string, std::vector<std::string>> engine(a, b);
    engine.onHuge();
    engine.compose();
    engine.composeUnifiedHunks();
    std::ostringstream hunks;
    engine.printUnifiedFormat(hunks);

    QString text = (beforeExists ? u"--- "_s + label : u"--- /dev/null"_s) + u"\n+++ "_s + label + u'\n';
    text += QString::fromStdString(hunks.str());
    return text;
}

} // namespace UnifiedDiff

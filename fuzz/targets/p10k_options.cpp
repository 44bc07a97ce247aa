#include "FuzzCheck.h"
#include "setup/config/P10kOptions.h"

#include <QRegularExpression>

// The prompt options on a fuzzed ~/.p10k.zsh: confirming the options read changes no setting's
// value; applying twice equals applying once; an option written is read back when its line
// exists; lines other than the four settings and the element list stay byte for byte.
namespace {

QStringList unowned(const QString &text)
{
    static const QStringList names{ QStringLiteral("TIME_FORMAT="), QStringLiteral("TRANSIENT_PROMPT="),
        QStringLiteral("PROMPT_ADD_NEWLINE="), QStringLiteral("INSTANT_PROMPT=") };
    const auto isSetting = [&](const QString &line) {
        qsizetype at = 0;
        while (at < line.size() && (line[at] == u' ' || line[at] == u'\t'))
            ++at;
        const QStringView rest = QStringView(line).sliced(at);
        if (!rest.startsWith(QStringLiteral("typeset -g POWERLEVEL9K_")))
            return false;
        const QStringView name = rest.sliced(24);
        return std::any_of(names.begin(), names.end(), [&](const QString &n) { return name.startsWith(n); });
    };
    QStringList lines = text.split(u'\n');
    // The element list: from its opening line through the closing ")" line.
    qsizetype opening = -1;
    for (qsizetype i = 0; i < lines.size() && opening < 0; ++i) {
        static const QRegularExpression list(
            QStringLiteral("^[ \\t]*(typeset([ \\t]+-[A-Za-z]+)*[ \\t]+)?POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=\\("));
        if (list.match(lines[i]).hasMatch())
            opening = i;
    }
    qsizetype closing = opening;
    for (qsizetype j = opening + 1; opening >= 0 && j < lines.size(); ++j) {
        if (lines[j].trimmed() == u")") {
            closing = j;
            break;
        }
    }
    QStringList kept;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if ((opening < 0 || i < opening || i > closing) && !isSetting(lines[i]))
            kept.append(lines[i]);
    }
    return kept;
}

bool fitsOnALine(const QString &value)
{
    return !value.contains(u'\n') && !value.contains(u'\r') && !value.contains(QChar(u'\0'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A control byte, three option values separated by NUL, then the file.
    if (size == 0)
        return 0;
    const QList<QByteArray> parts = fuzz::pieces(data + 1, size - 1, '\0', 4);
    const QString text = QString::fromUtf8(parts.back());

    const P10kOptions found = P10kOptions::fromText(text);
    const QString confirmed = found.appliedTo(text);
    FUZZ_CHECK(P10kOptions::fromText(confirmed) == found);
    FUZZ_CHECK(found.appliedTo(confirmed) == confirmed);

    P10kOptions options = found;
    options.showTime = data[0] & 1;
    options.blankLineBetweenPrompts = data[0] & 2;
    if (parts.size() == 4) {
        options.timeFormat = QString::fromUtf8(parts[0]);
        options.transientPrompt = QString::fromUtf8(parts[1]);
        options.instantPrompt = QString::fromUtf8(parts[2]);
    }
    const QString once = options.appliedTo(text);
    FUZZ_CHECK(options.appliedTo(once) == once);
    FUZZ_CHECK(unowned(once) == unowned(text));

    const P10kOptions read = P10kOptions::fromText(once);
    if (P10kOptions::setting(text, QStringLiteral("POWERLEVEL9K_TIME_FORMAT")) && fitsOnALine(options.timeFormat))
        FUZZ_CHECK(read.timeFormat == options.timeFormat);
    if (P10kOptions::setting(text, QStringLiteral("POWERLEVEL9K_TRANSIENT_PROMPT"))
        && fitsOnALine(options.transientPrompt))
        FUZZ_CHECK(read.transientPrompt == options.transientPrompt);
    if (P10kOptions::setting(text, QStringLiteral("POWERLEVEL9K_INSTANT_PROMPT")) && fitsOnALine(options.instantPrompt))
        FUZZ_CHECK(read.instantPrompt == options.instantPrompt);
    if (P10kOptions::setting(text, QStringLiteral("POWERLEVEL9K_PROMPT_ADD_NEWLINE")))
        FUZZ_CHECK(read.blankLineBetweenPrompts == options.blankLineBetweenPrompts);
    if (text.contains(QStringLiteral("POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS=(")) && read.showTime != options.showTime)
        FUZZ_CHECK(P10kOptions::withTime(text, options.showTime) == text); // no usable element list
    return 0;
}

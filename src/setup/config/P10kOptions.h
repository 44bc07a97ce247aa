#pragma once

#include <QList>
#include <QString>

#include <optional>

// Five prompt options read from and written back into ~/.p10k.zsh. The file is edited in place,
// line by line, so everything else the user has in it stays as it is.
struct P10kOptions {
    bool showTime = false; // a `time` element in POWERLEVEL9K_RIGHT_PROMPT_ELEMENTS
    QString timeFormat = QStringLiteral("%D{%H:%M:%S}");
    QString transientPrompt = QStringLiteral("off");
    bool blankLineBetweenPrompts = true;
    QString instantPrompt = QStringLiteral("verbose");

    bool operator==(const P10kOptions &) const = default;

    // One offered value of a text option.
    struct Choice {
        QString value;
        QString label;
        QString description; // empty where the option shows labels only

        bool operator==(const Choice &) const = default;
    };

    static const QList<Choice> &timeFormats();
    static const QList<Choice> &transientPrompts();
    static const QList<Choice> &instantPrompts();
    // The time the preview shows for a format: "14:30", "02:30 PM" or "14:30:05".
    static QString sampleTime(const QString &format);

    static QString path(); // ~/.p10k.zsh

    // The options in ~/.p10k.zsh, the defaults for anything missing, all defaults (time off) when
    // the file cannot be read. Never fails.
    static P10kOptions load();
    static P10kOptions fromText(const QString &text);
    // Applies the options to ~/.p10k.zsh. True when written or nothing needed to change; false
    // when the file is missing, not readable as UTF-8 or cannot be written (it is never created).
    bool write() const;
    // The text with these options applied. A setting whose line is missing is not added; every
    // line of a setting ends up reading as the option's value, and one that already does keeps its
    // line exactly as it is. A value that would not fit on one line leaves its setting alone.
    QString appliedTo(const QString &text) const;

    // Starts `p10k configure` in a Terminal window through osascript; does not wait, and a
    // failure to launch is dropped.
    static void openConfigureInTerminal();
    static QString configureScript();

    // The value of the first `typeset -g <name>=…` line as the shell reads it: quotes taken away, a
    // comment after it left out; the empty text for `<name>=`; none when there is no such line.
    static std::optional<QString> setting(const QString &text, const QString &name);
    // Whether the right prompt shows the time element (commented-out elements do not count).
    static bool showsTime(const QString &text);
    // The text with the time element switched on or off: on rewrites the first active element (or
    // brings back the first commented-out one, or adds one) with a four-space indent; off comments
    // out every active one. Unchanged when there is no element list.
    static QString withTime(const QString &text, bool on);
};

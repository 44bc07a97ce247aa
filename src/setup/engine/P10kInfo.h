#pragma once

#include <QCoro/QCoroTask>
#include <QSet>
#include <QString>

#include <optional>

// What ~/.p10k.zsh looks like: which prompt preset it was made from and whether the user
// changed it since.
struct P10kInfo {
    bool configExists = false;
    std::optional<QString> detectedStyle; // "lean", "classic", "rainbow" or "pure"
    bool customized = false;
    bool generatedByWizard = false;

    bool operator==(const P10kInfo &) const = default;

    // Reads ~/.p10k.zsh and compares it with the presets of the installed theme.
    static QCoro::Task<P10kInfo> detect();

    // The comparison behind detect(): `presets` holds (style, text) pairs in preference order.
    static P10kInfo compare(const QString &configText, const QList<std::pair<QString, QString>> &presets);
    // The distinct non-empty lines of a text, trimmed of spaces and tabs.
    static QSet<QString> lineSet(const QString &text);
};

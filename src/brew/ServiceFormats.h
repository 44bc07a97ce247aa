#pragma once

#include <QList>
#include <QString>

#include <optional>

// One row of `brew services list --json`.
struct ServiceEntry {
    QString name;
    // started, stopped, none, error, scheduled, unknown, other, or whatever a newer brew says.
    QString status;
    std::optional<QString> user; // who owns the loaded service; none while it is not loaded
    QString file;
    std::optional<int> exitCode;

    bool isOwnedByRoot() const { return user == QStringLiteral("root"); }
    bool operator==(const ServiceEntry &) const = default;
};

// What `brew services info --json <name>` tells about one service.
struct ServiceDetails {
    QString name;
    QString serviceName; // the launchd label
    bool running = false;
    bool loaded = false;
    bool registered = false; // starts at login
    std::optional<int> pid;
    std::optional<int> exitCode;
    std::optional<QString> user;
    QString status;
    QString file;
    std::optional<QString> logPath;
    std::optional<QString> errorLogPath;
    bool operator==(const ServiceDetails &) const = default;
};

// One unmet line of `brew bundle check --verbose`: "Formula wget needs to be installed or updated."
struct BrewfileItem {
    QString kind; // as brew names it: Tap, Formula, Cask, App, VSCode Extension…
    QString name;
    QString reason; // "needs to be installed or updated."
    bool operator==(const BrewfileItem &) const = default;
};

// What `brew bundle check` said about a Brewfile.
struct BrewfileCheck {
    enum class Outcome { satisfied, missing, failed };
    Outcome outcome = Outcome::failed;
    QList<BrewfileItem> missing;
    QString error; // failed: what went wrong, in brew's words where brew said it
    bool operator==(const BrewfileCheck &) const = default;
};

// The outputs of `brew services` and `brew bundle` the store reads.
namespace ServiceFormats {

// Nothing when the text is not the JSON array brew prints. Homebrew before 5.1.2 printed nothing
// at all for "no services", which reads as an empty list.
std::optional<QList<ServiceEntry>> decodeServiceList(const QByteArray &json);
// The entry of `name`, or nothing when the document does not describe it.
std::optional<ServiceDetails> decodeServiceDetails(const QByteArray &json, const QString &name);

// The unmet dependencies listed by `brew bundle check --verbose`, in brew's order.
QList<BrewfileItem> decodeBundleCheck(const QString &output);

// Whether a line of `brew bundle install` finishes one Brewfile entry, and whether that entry
// was already there ("Using …") rather than installed now.
enum class BundleLine { other, installed, alreadyThere };
BundleLine classifyBundleLine(QStringView line);

// The last lines of brew's output that start with "Error: ", or the last non-empty line.
QString errorMessage(const QString &output);

} // namespace ServiceFormats

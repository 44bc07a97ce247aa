#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The open and save panels the screens ask for files with. A test installs answers here instead
// of facing a modal system panel it cannot click.
namespace FileDialogs {

struct SaveChoice {
    QString path;
    bool optionChecked = false; // the panel's one extra checkbox ("Add descriptions")
};

using SaveHook = std::function<std::optional<SaveChoice>(
    QWidget *parent, const QString &title, const QString &suggestedPath, const QString &optionText)>;
using OpenHook
    = std::function<std::optional<QString>(QWidget *parent, const QString &title, const QString &startFolder)>;

// Empty hooks restore the real panels.
void setHooks(SaveHook save, OpenHook open);

// Nothing when the user cancels. `optionText` empty: no checkbox.
std::optional<SaveChoice> save(
    QWidget *parent, const QString &title, const QString &suggestedPath, const QString &optionText);
std::optional<QString> open(QWidget *parent, const QString &title, const QString &startFolder);

} // namespace FileDialogs

#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The nine things the setup wizard takes care of. The declaration order is the order used
// everywhere: selection lists, the apply run and the home screen.
enum class SetupComponent { xcode, rosetta, iterm2, ohMyZsh, powerlevel10k, shell, macOS, git, ssh };

// The raw value, equal to the case name ("ohMyZsh").
QString toString(SetupComponent component);
std::optional<SetupComponent> setupComponentFromString(QStringView text);
// Every component, in the fixed order.
QList<SetupComponent> allSetupComponents();

QString title(SetupComponent component);
QString subtitle(SetupComponent component);
// The symbol name shown beside the component.
QString icon(SetupComponent component);

inline size_t qHash(SetupComponent component, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(component), seed);
}

#pragma once

#include "setup/engine/SetupComponent.h"

#include <QUuid>

#include <optional>

// One request to show the setup wizard. Every request gets its own id, so asking twice for the
// same thing still opens a fresh sheet.
struct WizardRequest {
    QUuid id;
    std::optional<SetupComponent> only; // none: all components

    static WizardRequest make(std::optional<SetupComponent> only = std::nullopt)
    {
        return { QUuid::createUuid(), only };
    }

    bool operator==(const WizardRequest &) const = default;
};

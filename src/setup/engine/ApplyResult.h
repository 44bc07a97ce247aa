#pragma once

#include <QString>

// The outcome of one component in an apply run.
struct ApplyResult {
    enum class Kind { pending, running, succeeded, failed };
    Kind kind = Kind::pending;
    QString text; // the failure text; empty otherwise

    static ApplyResult pending() { return {}; }
    static ApplyResult running() { return { Kind::running, {} }; }
    static ApplyResult succeeded() { return { Kind::succeeded, {} }; }
    static ApplyResult failed(QString text) { return { Kind::failed, std::move(text) }; }

    bool operator==(const ApplyResult &) const = default;
};

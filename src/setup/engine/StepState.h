#pragma once

#include <QString>

// What a status check found for one component.
struct StepState {
    enum class Kind { done, partial, missing, notApplicable, unknown };
    Kind kind = Kind::unknown;
    QString text; // empty for unknown

    static StepState done(QString text) { return { Kind::done, std::move(text) }; }
    static StepState partial(QString text) { return { Kind::partial, std::move(text) }; }
    static StepState missing(QString text) { return { Kind::missing, std::move(text) }; }
    static StepState notApplicable(QString text) { return { Kind::notApplicable, std::move(text) }; }
    static StepState unknown() { return {}; }

    // Nothing left to do for the component: it is set up, or there is nothing to set up. The
    // progress ring, the first-run wizard and the wizard's prerequisites all count by this.
    bool isInPlace() const { return kind == Kind::done || kind == Kind::notApplicable; }

    bool operator==(const StepState &) const = default;
};

#pragma once

#include <QString>

class CancellationFlag;

// What an apply step needs from the run it belongs to: the run log and the run's cancellation
// flag. SetupStore provides one per run; tests provide their own, so every step can be tested
// without the store.
class RunContext {
public:
    virtual ~RunContext() = default;

    // Appends to the run log as it stands (no newline added). Called on the main thread.
    virtual void appendLog(const QString &text) = 0;
    virtual CancellationFlag &cancellation() = 0;

    // ~/.zshrc is backed up once per run, before its first edit: a second copy would only
    // hold the run's own changes (and could clash with the first one's time stamp).
    bool zshrcBackedUp() const { return m_zshrcBackedUp; }
    void setZshrcBackedUp() { m_zshrcBackedUp = true; }

private:
    bool m_zshrcBackedUp = false;
};

#pragma once

#include "setup/engine/CancellationFlag.h"
#include "setup/engine/RunContext.h"

#include <QString>

namespace quillrig::test {

// A run without a store: the log is a string the test reads.
class TestRunContext : public RunContext {
public:
    void appendLog(const QString &text) override { log += text; }
    CancellationFlag &cancellation() override { return flag; }

    QString log;
    CancellationFlag flag;
};

} // namespace quillrig::test

#pragma once

#include <QCoro/QCoroTask>

// Starts a store operation from a view without waiting for it. Tasks run eagerly and keep
// running when their handle is dropped; this wrapper makes sure an error thrown inside one is
// logged instead of vanishing with the handle.
namespace Async {

void start(QCoro::Task<> task, const char *what);

} // namespace Async

#pragma once

#include <QLoggingCategory>

// Where errors that the user is not told about still leave a trace: a cache that could not be
// written, a details page that could not be fetched, a task started from a view that failed.
Q_DECLARE_LOGGING_CATEGORY(lcBrew)
Q_DECLARE_LOGGING_CATEGORY(lcSetup)
Q_DECLARE_LOGGING_CATEGORY(lcUi)

#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcBrew, "quillrig.brew")
Q_LOGGING_CATEGORY(lcSetup, "quillrig.setup")
Q_LOGGING_CATEGORY(lcUi, "quillrig.ui")

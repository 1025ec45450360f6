#include "diagnostics.h"

Q_LOGGING_CATEGORY(lcKestral, "kestral", QtWarningMsg)

// The terminal's own debug lines (threads, pings, login states, chart creation, mouse
// releases). Off in a normal run, which prints only what went wrong; on with
// QT_LOGGING_RULES="kestral.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcKestral)

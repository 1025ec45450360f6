// Process-wide state from which every stored path is built, and the read-only flag.
#pragma once

#include <QString>
#include <atomic>

// The per-user application-data folder itself (the roaming one on Windows), never
// with an organisation or application name appended: the same folder whether it is
// first asked before or after the application object exists.
const QString &appDataPath();

// The brand folder below the application-data folder.
extern const QString brandName;

// Set by every successful login reply from "is_investor_password"; trade operations
// are refused while it is true.
extern std::atomic<bool> readOnlyMode;

// "%1/%2/config" from appDataPath and brandName.
QString configPath();

// "%1/%2/config/%3/%4": the folder of one trade account. Empty when the server name
// is not a safe path name (see isSafePathName): such an account is kept in memory only.
QString accountPath(const QString &serverName, qint64 login);

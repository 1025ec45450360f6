// Process-wide state from which every stored path is built, and the read-only flag.
#pragma once

#include <QString>
#include <atomic>

// The per-user application-data folder, with nothing appended. Taken on first use;
// the entry point touches it before the application object exists so that no
// organisation or application name can change it.
const QString &appDataPath();

// The brand folder below the application-data folder.
extern const QString brandName;

// Set by every successful login reply from "is_investor_password"; trade operations
// are refused while it is true.
extern std::atomic<bool> readOnlyMode;

// "%1/%2/config" from appDataPath and brandName.
QString configPath();

// "%1/%2/config/%3/%4": the folder of one trade account.
QString accountPath(const QString &serverName, qint64 login);

// The one rule for names that become part of a stored file's path.
#pragma once

#include <QString>

// False for names that could reach outside their folder (empty, ".", "..", separators),
// that carry control characters, or that the file systems we run on refuse (reserved
// characters and device names such as "CON" or "com1.txt").
bool isSafePathName(const QString &name);

// Readable texts for the trade server's return codes ("status" of a trade result).
#pragma once

#include <QString>

namespace tradereturn {

constexpr int done = 10009;

// Translated text of a return code; unknown codes say so with the number.
QString message(int status);

} // namespace tradereturn

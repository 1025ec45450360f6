// Reads a price tick straight from the text of a reply, without building a
// JSON object first. It takes only the common form: an object of the tick's
// own keys, each once, with numbers where the keys take numbers and integers
// in range where they take integers. Anything else it declines, and the reply
// goes the general way (QJsonDocument, then TickData::fromJson), so every rule
// of reading stays the one that reader has.
#pragma once

#include "tickdata.h"

#include <QString>

namespace tickreader {

// True with `tick` filled when `text` is a price-tick reply (res_code 2) in the
// common form; false, with `tick` unspecified, for anything else.
bool read(const QString &text, TickData &tick);

} // namespace tickreader

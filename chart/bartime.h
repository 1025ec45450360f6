// Where a live bar begins, on the same grid as the bars the trade server sends.
#pragma once

#include <QTimeZone>
#include <QtGlobal>

// Start, in Unix seconds, of the bar of `period` minutes that holds `time`.
// Periods up to a day split the server's day; a week steps 7 days from `anchor`,
// the start of a bar the server sent; the monthly period (above 39999) is the
// calendar month. Days and months are those of the server's zone `zone`.
qint64 barStart(qint64 time, int period, qint64 anchor, const QTimeZone &zone);

// A bar time kept as a double, back as whole seconds: the largest 64-bit time comes
// back from a double one above the range, so the result is held to the range.
qint64 saturatedSeconds(double seconds);

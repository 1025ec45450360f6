// What every fuzz target shares: one application object, folders of its own, and
// the input as frames or as a file.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace fuzzsupport {

// Creates the application object once (a widget application when `widgets`), moves
// the data, config and working folders into a temporary folder, silences debug
// output and stops the journal's writer thread so that lines are not queued.
void initialize(bool widgets);

// The temporary folder of this process.
QString root();

// The input split at line breaks, empty lines left out: one server frame per line.
QList<QByteArray> lines(const uint8_t *data, size_t size);

// Writes the input to `path`, replacing what was there; aborts when it cannot.
void writeFile(const QString &path, const uint8_t *data, size_t size);
QByteArray readFile(const QString &path);

// Ends the run with a message that libFuzzer reports as a crash.
[[noreturn]] void fail(const char *what);

} // namespace fuzzsupport

#define FUZZ_CHECK(condition)                                                  \
    do {                                                                       \
        if (!(condition))                                                      \
            ::fuzzsupport::fail("check failed: " #condition);                  \
    } while (false)

// A chart settings file of arbitrary bytes through the chart manager's reader; what
// it accepts must survive a save and a second reading unchanged.
#include "fuzzsupport.h"

#include "chartmanager.h"

#include <QDir>

namespace {

const QString symbol = QStringLiteral("EURUSD");
constexpr int period = 60;

// Loads the file into a fresh manager and saves it back; the saved bytes, or
// nothing when the reader refused the file.
QByteArray loadAndSave(const QString &path)
{
    ChartManager charts(nullptr);
    charts.setAccount(1001, QStringLiteral("Fuzz-Server"));
    if (!charts.loadChartSettings(symbol, period))
        return {};
    // What the chart window asks for when it opens.
    charts.getColors(symbol, period);
    charts.getObjects(symbol, period);
    charts.getLevels(symbol, period);
    FUZZ_CHECK(charts.saveChartSettings(symbol, period));
    const QByteArray saved = fuzzsupport::readFile(path);
    FUZZ_CHECK(!saved.isEmpty());
    return saved;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = [] {
        ChartManager charts(nullptr);
        charts.setAccount(1001, QStringLiteral("Fuzz-Server"));
        QDir().mkpath(charts.settingsFolder());
        return charts.settingsFolder() + QLatin1Char('/') + symbol + QStringLiteral("_60.csf");
    }();
    fuzzsupport::writeFile(path, data, size);
    const QByteArray first = loadAndSave(path);
    if (first.isEmpty())
        return 0;
    FUZZ_CHECK(loadAndSave(path) == first);
    return 0;
}

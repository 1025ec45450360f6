// Login replies, chart history replies and price ticks, one frame per input line, through the chart
// manager into a chart window, which then draws itself.
#include "fuzzsupport.h"

#include "chartmanager.h"
#include "symbolchartwidget.h"
#include "tickdata.h"
#include "tradeclient.h"

#include <QJsonObject>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString symbol = QStringLiteral("EURUSD");
    QList<QJsonObject> frames;
    int period = 0;
    for (const QByteArray &line : fuzzsupport::lines(data, size)) {
        frames.append(TradeClient::parseMessage(QString::fromUtf8(line)));
        // The window shows the period of the first history reply, so odd periods are reached too.
        if (period == 0 && frames.constLast().value(QLatin1String("res_code")).toInt() == 3)
            period = frames.constLast().value(QLatin1String("interval")).toInt();
    }
    TradeClient client;
    ChartManager charts(&client);
    SymbolChartWidget window(&charts, symbol, period > 0 ? period : SymbolChartWidget::DefaultPeriod);
    window.resize(640, 400);
    for (const QJsonObject &frame : std::as_const(frames)) {
        switch (frame.value(QLatin1String("res_code")).toInt()) {
        case 1:
            // A login reply sets the server's zone, on which live bars start.
            client.dispatchMessage(frame);
            break;
        case 2:
            window.updateWithTick(TickData::fromJson(frame));
            break;
        case 3:
            charts.updateChartHistoryFromServer(frame);
            window.loadChart();
            break;
        default:
            break;
        }
    }
    window.replot(QCustomPlot::rpImmediateRefresh);
    return 0;
}

// Server text frames, one per input line, through the client's parser and dispatch
// into the receivers the main window wires up: the tick batcher, the symbol store,
// the position store and the chart manager.
#include "fuzzsupport.h"

#include "appglobals.h"
#include "chartmanager.h"
#include "jsonreadings.h"
#include "positiondatastore.h"
#include "pricedatabuffer.h"
#include "servertime.h"
#include "symboldatastorage.h"
#include "tradeclient.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

bool boundedDigits(int digits) { return digits >= 0 && digits <= jsonreading::maxDigits; }

void checkStores(const SymbolDataStorage &symbols, const PositionDataStore &positions, const ChartManager &charts,
                 const QStringList &chartKeys, const QTimeZone &zone)
{
    for (const QString &name : symbols.symbolNames()) {
        FUZZ_CHECK(!name.isEmpty());
        FUZZ_CHECK(boundedDigits(symbols.digits(name)));
        FUZZ_CHECK(boundedDigits(symbols.lastTick(name).digits));
    }
    for (const Position &position : positions.positions()) {
        FUZZ_CHECK(boundedDigits(position.digits));
        // What the trade table shows of every position.
        formatDateTime(position.time, zone);
        positions.hedgePositions(int(position.ticket));
    }
    for (const PendingOrder &order : positions.pendingOrders())
        FUZZ_CHECK(boundedDigits(order.digits));
    for (const QString &key : chartKeys) {
        const int cut = key.lastIndexOf(QLatin1Char('\n'));
        const QList<CandleStick> bars = charts.getChartHistory(key.left(cut), key.mid(cut + 1).toInt());
        for (int i = 1; i < bars.size(); ++i)
            FUZZ_CHECK(bars.at(i - 1).timestamp < bars.at(i).timestamp);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::initialize(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    readOnlyMode = false;
    TradeClient client;
    client.login = 1001;
    PriceDataBuffer batcher;
    batcher.beginTimer();
    client.priceBuffer = &batcher;
    SymbolDataStorage symbols;
    PositionDataStore positions;
    ChartManager charts(&client);
    // As an open chart would, so that its replies are merged rather than dropped.
    charts.requestChartHistory(QStringLiteral("EURUSD"), 60, 0, -1);
    QStringList chartKeys;

    QObject::connect(&batcher, &PriceDataBuffer::tickUpdated, &symbols, &SymbolDataStorage::onUpdatedTicks);
    QObject::connect(&symbols, &SymbolDataStorage::tickChanged, &positions, &PositionDataStore::onPriceChanged);
    QObject::connect(&client, &TradeClient::symbolListReceived, &symbols, &SymbolDataStorage::onSymbolListReceived);
    QObject::connect(&client, &TradeClient::openPositionsReceived, &positions, [&](const QJsonObject &reply) {
        if (reply.value(QLatin1String("is_last")).toInt() != 0)
            positions.setOpenPositions(reply.value(QLatin1String("array")).toArray());
    });
    QObject::connect(&client, &TradeClient::pendingOrdersReceived, &positions, [&](const QJsonObject &reply) {
        positions.setPendingOrders(reply.value(QLatin1String("array")).toArray());
    });
    QObject::connect(&client, &TradeClient::chartHistoryReceived, &charts, &ChartManager::updateChartHistoryFromServer);
    QObject::connect(&charts, &ChartManager::readyChartHistory, [&](const QString &symbol, int period) {
        const QString key = symbol + QLatin1Char('\n') + QString::number(period);
        if (!chartKeys.contains(key))
            chartKeys.append(key);
    });
    QObject::connect(&client, &TradeClient::loginSuccess, [&](const QJsonObject &) {
        // The main window asks for the trades at once and keeps the zone for its tables.
        client.requestTradeHistory(0);
        formatTime(0, client.timeZone());
    });

    for (const QByteArray &frame : fuzzsupport::lines(data, size)) {
        client.dispatchMessage(TradeClient::parseMessage(QString::fromUtf8(frame)));
        batcher.onTimerTriggered();
    }
    checkStores(symbols, positions, charts, chartKeys, client.timeZone());
    client.priceBuffer = nullptr;
    return 0;
}

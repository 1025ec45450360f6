// The order dialog's view of the main window, filled by each test.
#pragma once

#include "ordercontext.h"

#include <QHash>

struct OrderTestContext : OrderContext
{
    TickData getSymbolSetting(const QString &symbol) override { return ticks.value(symbol); }
    Position getPosition(int ticket) override { return positions.value(ticket); }
    PendingOrder getOrder(int ticket) override { return orders.value(ticket); }
    QList<Position> getHedgePositions(int ticket) override { return hedges.value(ticket); }
    QStringList symbolNames() override { return ticks.keys(); }

    static TickData tick(const QString &symbol, double bid, double ask)
    {
        TickData t;
        t.symbol = symbol;
        t.bid = bid;
        t.ask = ask;
        t.digits = 5;
        t.minVol = 0.01;
        t.maxVol = 100;
        t.stepVol = 0.01;
        return t;
    }

    QHash<QString, TickData> ticks;
    QHash<int, Position> positions;
    QHash<int, PendingOrder> orders;
    QHash<int, QList<Position>> hedges;
};

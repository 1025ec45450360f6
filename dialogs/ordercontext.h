// What the order dialog asks of the window that owns it, so that the dialog can be
// built and tested without the main window.
#pragma once

#include "position.h"
#include "tickdata.h"

#include <QList>
#include <QStringList>

class OrderContext
{
public:
    virtual ~OrderContext() = default;

    // The symbol's last tick; its symbol name is empty when none has arrived.
    virtual TickData getSymbolSetting(const QString &symbol) = 0;
    // Default records for tickets that are not stored.
    virtual Position getPosition(int ticket) = 0;
    virtual PendingOrder getOrder(int ticket) = 0;
    // Open positions of the same symbol on the opposite side.
    virtual QList<Position> getHedgePositions(int ticket) = 0;
    virtual QStringList symbolNames() = 0;
};

// The history tables: closed positions, orders and deals, their requests and the statement.
#include "clientterminal.h"
#include "ui_clientterminal.h"

void Client_Terminal::setupHistoryView()
{
}

void Client_Terminal::historyTableLoad(QJsonObject obj)
{
    Q_UNUSED(obj)
}

void Client_Terminal::historySwitch(int index)
{
    Q_UNUSED(index)
}

void Client_Terminal::historyTableContext(QPoint pos)
{
    Q_UNUSED(pos)
}

void Client_Terminal::showPositionsHistory()
{
}

// The trade and net tables, the account summary line and the close commands.
#include "clientterminal.h"
#include "ui_clientterminal.h"

void Client_Terminal::setupTradeTables()
{
}

void Client_Terminal::tradeTableLoad()
{
}

void Client_Terminal::updateTradeRows()
{
}

void Client_Terminal::updateAccountSummary(double netProfit)
{
    Q_UNUSED(netProfit)
}

void Client_Terminal::formatSummaryTable(QTableWidget *table)
{
    Q_UNUSED(table)
}

void Client_Terminal::sendCloseAllRequest(int subType)
{
    Q_UNUSED(subType)
}

Position Client_Terminal::getPosition(int ticket) const
{
    return m_positionStore.position(ticket);
}

QList<Position> Client_Terminal::getHedgePositions(int ticket) const
{
    return m_positionStore.hedgePositions(ticket);
}

PendingOrder Client_Terminal::getOrder(int ticket) const
{
    return m_positionStore.pendingOrder(ticket);
}

void Client_Terminal::onPosition(QJsonObject obj)
{
    Q_UNUSED(obj)
}

void Client_Terminal::postionPriceChanged(Position position)
{
    Q_UNUSED(position)
}

void Client_Terminal::onSymbolNetProfitChanged(QString symbol, int symbol_positions, double symbol_buy_volume,
                                               double symbol_buy_price, double symbol_sell_volume,
                                               double symbol_sell_price, double symbol_net_profit)
{
    Q_UNUSED(symbol)
    Q_UNUSED(symbol_positions)
    Q_UNUSED(symbol_buy_volume)
    Q_UNUSED(symbol_buy_price)
    Q_UNUSED(symbol_sell_volume)
    Q_UNUSED(symbol_sell_price)
    Q_UNUSED(symbol_net_profit)
}

void Client_Terminal::showNetProfit(double netProfit)
{
    updateAccountSummary(netProfit);
}

void Client_Terminal::onOpenPositionChanged()
{
}

void Client_Terminal::onCloseTrade(int ticket, int kind)
{
    Q_UNUSED(ticket)
    Q_UNUSED(kind)
}

// Market-watch rows, the symbol search, the columns menu and the market-watch context menu.
#include "clientterminal.h"
#include "ui_clientterminal.h"

void Client_Terminal::setupMarketWatch()
{
}

void Client_Terminal::fillSymbolTable()
{
}

void Client_Terminal::buildColumnsMenu()
{
}

void Client_Terminal::updateSymbolRow(const TickData &tick)
{
    Q_UNUSED(tick)
}

void Client_Terminal::showTickContextMenu(QPoint pos)
{
    Q_UNUSED(pos)
}

void Client_Terminal::toggleSymbolColumn(int column, bool checked)
{
    Q_UNUSED(column)
    Q_UNUSED(checked)
}

void Client_Terminal::on_symbolTableWidget_itemSelectionChanged()
{
}

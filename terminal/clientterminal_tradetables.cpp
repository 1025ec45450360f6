// The trade and net tables, the account summary line and the close commands.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "accountsummary.h"
#include "new_order.h"
#include "appglobals.h"
#include "positiontables.h"
#include "quietrowupdate.h"
#include "tablestyle.h"
#include "tradeclient.h"

#include <QDockWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <utility>

void Client_Terminal::setupTradeTables()
{
    connect(ui->tradeTableWidget, &QWidget::customContextMenuRequested, this, &Client_Terminal::showTradeContextMenu);
}

void Client_Terminal::tradeTableLoad()
{
    const QList<Position> positions = m_positionStore.positions();
    // Rows kept in place keep their style.
    if (m_tradeTable.fill(ui->tradeTableWidget, positions, m_positionStore.pendingOrders(), m_client->timeZone()))
        formatSummaryTable(ui->tradeTableWidget);
    m_positionRows.clear();
    m_netTable.fill(
        ui->netTableWidget, netFiguresOf(positions),
        [this](const QString &symbol) { return m_symbolStorage.digits(symbol); }, m_footerFont);
    formatSummaryTable(ui->netTableWidget);
}

void Client_Terminal::updateAccountSummary(double netProfit)
{
    auto *label = qobject_cast<QLabel *>(ui->toolboxDockWidget->titleBarWidget());
    if (!label)
        return;
    AccountFigures figures;
    figures.balance = m_balance;
    figures.usedMargin = m_margin;
    figures.credit = m_credit;
    figures.swapSum = m_swapSum;
    if (!m_summaryInputs.changed(figures, netProfit) && !label->text().isEmpty())
        return;
    QFont font = label->font();
    font.setPointSize(10);
    font.setWeight(75);
    label->setFont(font);
    label->setText(figures.summaryText(netProfit));
}

void Client_Terminal::formatSummaryTable(QTableWidget *table)
{
    styleSummaryTable(table);
}

void Client_Terminal::sendCloseAllRequest(int subType)
{
    const QJsonObject request{{QStringLiteral("req_code"), 4},
                              {QStringLiteral("login"), m_login},
                              {QStringLiteral("type"), 9},
                              {QStringLiteral("dealer"), 1000},
                              {QStringLiteral("sub_type"), subType}};
    m_client->enqueueMessage(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
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
    AccountFigures figures;
    readAccountFigures(obj, figures);
    m_balance = figures.balance;
    m_margin = figures.usedMargin;
    m_credit = figures.credit;
    if (!isLastPositionsPage(obj))
        return;
    double swapSum = 0.0;
    m_positionStore.setOpenPositions(obj.value(QStringLiteral("array")).toArray(), &swapSum);
    m_swapSum = swapSum;
    updateAccountSummary(0.0);
}

void Client_Terminal::postionPriceChanged(Position position)
{
    const int row = m_positionRows.row(ui->tradeTableWidget, QString::number(position.ticket));
    if (row < 0)
        return;
    const QuietRowUpdate quiet(ui->tradeTableWidget, row);
    m_tradeTable.setPrices(ui->tradeTableWidget, row, position);
    // Only this row's texts changed, so recolouring the others would be wasted work per tick.
    colourTradeRow(ui->tradeTableWidget, row);
}

void Client_Terminal::onSymbolNetProfitChanged(QString symbol, int symbol_positions, double symbol_buy_volume,
                                               double symbol_buy_price, double symbol_sell_volume,
                                               double symbol_sell_price, double symbol_net_profit)
{
    if (ui->netTableWidget->rowCount() == 0)
        return;
    const SymbolNetFigures figures{symbol,           symbol_positions,   symbol_buy_volume,
                                   symbol_buy_price, symbol_sell_volume, symbol_sell_price,
                                   symbol_net_profit};
    // No restyling here: a price never changes the table's rows, and tradeTableLoad
    // styled them; restyling per tick cost more than the update itself.
    m_netTable.update(ui->netTableWidget, figures, m_symbolStorage.digits(symbol), m_footerFont);
}

void Client_Terminal::showNetProfit(double netProfit)
{
    updateAccountSummary(netProfit);
}

void Client_Terminal::onOpenPositionChanged()
{
    tradeTableLoad();
    // Positions and orders replies handled in one go ask for the history once.
    if (std::exchange(m_historyRequestDue, true))
        return;
    askHistoryOnceRepliesHandled();
}

void Client_Terminal::askHistoryOnceRepliesHandled()
{
    QTimer::singleShot(0, this, [this] {
        // A burst handled over several turns of the loop is still one change.
        if (m_client->repliesWaiting())
            return askHistoryOnceRepliesHandled();
        m_historyRequestDue = false;
        m_client->requestTradeHistory(-1);
    });
}

void Client_Terminal::onCloseTrade(int ticket, int kind)
{
    if (readOnlyMode) {
        showReadOnlyRefusal();
        return;
    }
    if (kind != 1 && kind != 2)
        return;
    m_client->sendRequest({{QStringLiteral("req_code"), 4},
                           {QStringLiteral("type"), kind == 1 ? 4 : 3},
                           {QStringLiteral("order_id"), ticket}});
}

void Client_Terminal::showTradeContextMenu(QPoint pos)
{
    QTableWidget *table = ui->tradeTableWidget;
    // Values only: a positions or orders reply handled while the menu is open rebuilds the table.
    QString tag;
    int ticket = 0;
    if (const QTableWidgetItem *item = table->itemAt(pos)) {
        if (const QTableWidgetItem *first = table->item(item->row(), 0))
            tag = first->data(Qt::UserRole).toString();
        if (const QTableWidgetItem *ticketItem = table->item(item->row(), 1))
            ticket = ticketItem->text().toInt();
    }

    QMenu menu(this);
    QAction *closeOne = nullptr;
    if (tag == positionRowTag)
        closeOne = menu.addAction(QStringLiteral("Close Position"));
    else if (tag == orderRowTag)
        closeOne = menu.addAction(QStringLiteral("Delete Order"));
    // Stop loss and take profit of an open position are changed from here.
    QAction *modify = tag == positionRowTag ? menu.addAction(QStringLiteral("Modify Position")) : nullptr;
    if (closeOne)
        menu.addSeparator();
    QAction *all = menu.addAction(QStringLiteral("Close All Positions"));
    QAction *profitable = menu.addAction(QStringLiteral("Close Profitable Positions"));
    QAction *losing = menu.addAction(QStringLiteral("Close Losing Positions"));

    const QAction *chosen = menu.exec(table->viewport()->mapToGlobal(pos));
    if (!chosen)
        return;
    if (chosen == closeOne || chosen == modify) {
        // The row of the ticket as the table is now; a position or order gone meanwhile is left alone.
        const int row = TableRowIndex(1, tag).row(table, QString::number(ticket));
        if (row < 0)
            return;
        if (chosen == closeOne)
            return onCloseTrade(ticket, tag == positionRowTag ? 1 : 2);
        if (readOnlyMode)
            return showReadOnlyRefusal();
        m_orderDialog->setCurrentSymbol(table->item(row, 0)->text());
        m_orderDialog->setMode(New_Order::ModifyPosition, ticket);
        m_orderDialog->show();
        return;
    }
    const int subType = chosen == all ? 0 : chosen == profitable ? 1 : chosen == losing ? 2 : -1;
    if (subType < 0)
        return;
    if (readOnlyMode) {
        showReadOnlyRefusal();
        return;
    }
    sendCloseAllRequest(subType);
}

// Market-watch rows, the symbol search, the columns menu and the market-watch context menu.
#include "clientterminal.h"
#include "ui_clientterminal.h"

#include "appglobals.h"
#include "marketwatchrows.h"
#include "showsymboldialog.h"
#include "tradeclient.h"

#include <QHeaderView>
#include <QMenu>

void Client_Terminal::setupMarketWatch()
{
    QTableWidget *table = ui->symbolTableWidget;
    connect(table, &QWidget::customContextMenuRequested, this, &Client_Terminal::showTickContextMenu);
    connect(ui->symbolSearchLineEdit, &QLineEdit::textChanged, this, [this] { fillSymbolTable(); });
    table->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table->horizontalHeader(), &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        buildColumnsMenu();
        m_columnsMenu->exec(ui->symbolTableWidget->horizontalHeader()->mapToGlobal(pos));
    });
    table->setColumnHidden(7, true);
    table->setColumnHidden(8, true);
}

void Client_Terminal::fillSymbolTable()
{
    QTableWidget *table = ui->symbolTableWidget;
    const QString search = ui->symbolSearchLineEdit->text();
    QStringList shown;
    for (const QString &symbol : std::as_const(m_symbolList)) {
        if (symbol.contains(search, Qt::CaseSensitive))
            shown.append(symbol);
    }
    table->setRowCount(0);
    table->setRowCount(shown.size());
    for (int row = 0; row < shown.size(); ++row) {
        const QString &symbol = shown.at(row);
        fillMarketWatchRow(table, row, symbol, m_symbolStorage.lastTick(symbol), m_symbolStorage.digits(symbol));
    }
    m_symbolRows.clear();
    table->setColumnHidden(7, true);
    table->setColumnHidden(8, true);
    formatSummaryTable(table);
}

void Client_Terminal::buildColumnsMenu()
{
    static const char *const names[] = {"Symbol", "Bid",  "Ask",       "Spread",   "High",
                                        "Low",    "Time", "Change %H", "Change %L"};
    if (!m_columnsMenu)
        m_columnsMenu = new QMenu(QStringLiteral("Columns"), this);
    m_columnsMenu->clear();
    for (int column = 0; column < 9; ++column) {
        QAction *action = m_columnsMenu->addAction(QLatin1String(names[column]));
        action->setCheckable(true);
        action->setChecked(!ui->symbolTableWidget->isColumnHidden(column));
        connect(action, &QAction::toggled, this, [this, column](bool checked) { toggleSymbolColumn(column, checked); });
    }
}

void Client_Terminal::toggleSymbolColumn(int column, bool checked)
{
    ui->symbolTableWidget->horizontalHeader()->setSectionHidden(column, !checked);
}

void Client_Terminal::updateSymbolRow(const TickData &tick)
{
    const int row = m_symbolRows.row(ui->symbolTableWidget, tick.symbol);
    if (row >= 0)
        updateMarketWatchRow(ui->symbolTableWidget, row, tick, m_client->timeZone());
}

void Client_Terminal::showTickContextMenu(QPoint pos)
{
    QTableWidget *table = ui->symbolTableWidget;
    const QTableWidgetItem *item = table->itemAt(pos);
    const QTableWidgetItem *name = item ? table->item(item->row(), 0) : nullptr;
    const QString symbol = name ? name->text() : QString();

    QMenu menu(this);
    QAction *newOrder = menu.addAction(QStringLiteral("New Order"));
    QAction *chart = menu.addAction(QStringLiteral("Show Chart"));
    QAction *hide = menu.addAction(QStringLiteral("Hide Symbol"));
    for (QAction *action : {newOrder, chart, hide})
        action->setEnabled(!symbol.isEmpty());
    menu.addSeparator();
    QAction *symbols = menu.addAction(QStringLiteral("Symbols"));
    buildColumnsMenu();
    menu.addMenu(m_columnsMenu);

    const QAction *chosen = menu.exec(table->viewport()->mapToGlobal(pos));
    if (chosen == newOrder) {
        if (readOnlyMode)
            showReadOnlyRefusal();
        else
            showOrderDialog(symbol);
    } else if (chosen == chart) {
        createNewChart(symbol);
    } else if (chosen == hide) {
        m_symbolStorage.setSymbolVisible(symbol, false);
    } else if (chosen == symbols) {
        showSymbolDialog();
    }
}

void Client_Terminal::showSymbolDialog()
{
    auto *dialog = new ShowSymbolDialog(&m_symbolStorage, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void Client_Terminal::on_symbolTableWidget_itemSelectionChanged()
{
    const int row = ui->symbolTableWidget->currentRow();
    if (row < 0)
        return;
    if (const QTableWidgetItem *item = ui->symbolTableWidget->item(row, 0))
        m_currentSymbol = item->text();
}

// Fills the three trade-history tables (closed positions, orders, deals) from a
// trade-history reply and adds their footer rows of totals. The account statement
// reads the deals footer back, so its labels and separators must not change.
#pragma once

#include <QFont>
#include <QJsonObject>
#include <QString>
#include <QTimeZone>
#include <QVector>
#include <functional>

class QTableWidget;

struct HistoryTables
{
    QTableWidget *positions = nullptr;
    QTableWidget *orders = nullptr;
    QTableWidget *deals = nullptr;
};

struct HistoryTotals
{
    double profit = 0.0;     // closed positions
    double commission = 0.0; // closed positions
    double swap = 0.0;       // closed positions and deals
    double fee = 0.0;        // deals
    double credit = 0.0;
    double deposit = 0.0;
    double withdrawal = 0.0; // 0 or negative
    int filled = 0;
    int cancelled = 0;
    int total = 0;

    double balance() const;
    QString positionsFooter() const;
    QString ordersFooter() const;
    QString dealsFooter() const;
};

// The symbol store's digits for a symbol, 0 when it knows none.
using DigitsLookup = std::function<int(const QString &symbol)>;

// Empties and refills the tables; a missing array leaves only its footer row.
HistoryTotals loadTradeHistory(const QJsonObject &reply, const HistoryTables &tables, const DigitsLookup &digitsOf,
                               const QTimeZone &zone, const QFont &footerFont);

struct ClosedPositionRow;
struct HistoryOrderRow;
struct DealRow;

// The three tables with the rows they were last filled from: a table a reply would
// fill with the same rows again is left as it is, footer aside, since a server
// resends the whole history after every trade.
class TradeHistoryView
{
public:
    TradeHistoryView();
    ~TradeHistoryView();

    // As loadTradeHistory, for the same tables every time.
    HistoryTotals load(const QJsonObject &reply, const HistoryTables &tables, const DigitsLookup &digitsOf,
                       const QTimeZone &zone, const QFont &footerFont);

private:
    QVector<ClosedPositionRow> m_positions;
    QVector<HistoryOrderRow> m_orders;
    QVector<DealRow> m_deals;
    QTimeZone m_zone;
    bool m_filled = false;
};

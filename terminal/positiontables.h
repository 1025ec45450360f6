// The trade table (open positions and pending orders) and the per-symbol net
// table with its "Summary" footer.
#pragma once

#include "position.h"

#include <QFont>
#include <QList>
#include <QTimeZone>
#include <QVector>
#include <functional>

class QTableWidget;

// Column-0 tags under the user role telling position rows from order rows.
extern const QString positionRowTag;
extern const QString orderRowTag;

void fillTradeTable(QTableWidget *table, const QList<Position> &positions, const QList<PendingOrder> &orders,
                    const QTimeZone &zone);
// Current price and profit of a position row; false when both already read so.
bool setPositionPrices(QTableWidget *table, int row, const Position &position);
// Side word blue for "buy", red for "sell"; profit blue above 0, red below.
void colourTradeRow(QTableWidget *table, int row);

// The trade table with what its rows were last filled with: a refill rewrites only
// the rows whose position or order changed, and inserts and removes rows for tickets
// come and gone, so a resent reply of 50,000 rows with one change costs one row.
class TradeTable
{
public:
    // Positions, then orders, each in ascending ticket order (as the store gives them).
    // False when no row was added or replaced, only texts changed in place.
    bool fill(QTableWidget *table, const QList<Position> &positions, const QList<PendingOrder> &orders,
              const QTimeZone &zone);
    // A position row's live prices, as a tick moved them: remembered too, so a refill
    // rewrites only the prices that differ from those shown.
    void setPrices(QTableWidget *table, int row, const Position &position);

    // Past this many separate runs of rows to insert or remove, each moving the rows
    // below it, a refill of the whole table costs less.
    static constexpr int maxRowRuns = 32;

private:
    bool inStep(const QTableWidget *table, const QTimeZone &zone) const;

    // The lists as given: kept shared with the caller's, not copied.
    QList<Position> m_positions;
    QList<PendingOrder> m_orders;
    QTimeZone m_zone;
    bool m_filled = false;
    // False once prices were written that could not be remembered.
    bool m_pricesKnown = false;
};

struct SymbolNetFigures
{
    QString symbol;
    int positions = 0;
    double buyVolume = 0.0;
    double buyPrice = 0.0;
    double sellVolume = 0.0;
    double sellPrice = 0.0;
    double profit = 0.0;
};

QList<SymbolNetFigures> netFiguresOf(const QList<Position> &positions);

// The net table: one row per symbol and a footer of totals.
class NetTable
{
public:
    void fill(QTableWidget *table, const QList<SymbolNetFigures> &figures,
              const std::function<int(const QString &)> &digitsOf, const QFont &footerFont);
    // Rewrites the symbol's row, when it has one, and the footer totals, adding up
    // the figures the other rows show.
    void update(QTableWidget *table, const SymbolNetFigures &figures, int digits, const QFont &footerFont);

private:
    // What a row shows, read back as numbers once per write instead of from every
    // row's texts on every tick.
    struct Shown
    {
        QString symbol;
        int positions = 0;
        double buyVolume = 0.0;
        double sellVolume = 0.0;
        double profit = 0.0;
    };
    static Shown shownIn(const QTableWidget *table, int row);
    bool inStep(const QTableWidget *table) const;

    QVector<Shown> m_rows;
};

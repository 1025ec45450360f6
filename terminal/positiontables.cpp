#include "positiontables.h"

#include "datetimetexts.h"
#include "jsonreadings.h"
#include "quietrowupdate.h"
#include "textitem.h"

#include <algorithm>
#include <cstring>

#include <QBrush>
#include <QMap>
#include <QTableWidget>

const QString positionRowTag = QStringLiteral("position");
const QString orderRowTag = QStringLiteral("order");

namespace {

QString fixed(double value, int digits)
{
    return QString::number(value, 'f', jsonreading::boundedDigits(digits));
}

// Writes the text in place, and only when it differs: a fresh item per tick would
// mean allocations and a full repaint of the cell for every price.
QTableWidgetItem *put(QTableWidget *table, int row, int column, const QString &text, bool *changed = nullptr)
{
    QTableWidgetItem *item = table->item(row, column);
    if (item) {
        const auto *textItem = dynamic_cast<const TextItem *>(item);
        if (textItem ? !textItem->reads(text) : item->text() != text) {
            item->setText(text);
            if (changed)
                *changed = true;
        }
        return item;
    }
    item = new TextItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table->setItem(row, column, item);
    if (changed)
        *changed = true;
    return item;
}

// Shared by every coloured cell instead of a brush of its own each.
const QBrush &brushOf(Qt::GlobalColor colour)
{
    static const QBrush blue(Qt::blue);
    static const QBrush red(Qt::red);
    static const QBrush black(Qt::black);
    return colour == Qt::blue ? blue : colour == Qt::red ? red : black;
}

QString orderTypeText(int code)
{
    static const char *const words[] = {"buy",      "sell",      "buy limit",      "sell limit",
                                        "buy stop", "sell stop", "buy limit stop", "sell limit stop"};
    return code >= 0 && code <= 7 ? QLatin1String(words[code]) : QString();
}

// By the text shown, so a profit that rounds to 0.00 is black.
void colourProfit(QTableWidgetItem *profit, const QString &text)
{
    const double value = text.toDouble();
    profit->setForeground(brushOf(value < 0 ? Qt::red : value > 0 ? Qt::blue : Qt::black));
}

void colourProfit(QTableWidgetItem *profit)
{
    colourProfit(profit, profit->text());
}

// Bit for bit, as their texts would differ: 0 and -0 print apart.
bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

// Figures down a column, the text of the one above reused when it is the same figure:
// stops, targets, swaps and volumes repeat row after row, and formatting a figure costs
// more than comparing it, 50,000 rows a reply.
class ColumnFigures
{
public:
    const QString &operator()(int column, double value, int digits)
    {
        Last &last = m_last[column];
        if (!last.known || last.digits != digits || !sameBits(last.value, value)) {
            last.text = fixed(value, digits);
            last.value = value;
            last.digits = digits;
            last.known = true;
        }
        return last.text;
    }

private:
    struct Last
    {
        QString text;
        double value = 0.0;
        int digits = 0;
        bool known = false;
    };
    Last m_last[10];
};

void writePositionRow(QTableWidget *table, int row, const Position &p, const DateTimeTexts &timeText,
                      ColumnFigures &figure)
{
    put(table, row, 0, p.symbol)->setData(Qt::UserRole, positionRowTag);
    put(table, row, 1, QString::number(p.ticket));
    put(table, row, 2, timeText(p.time));
    put(table, row, 3, p.type);
    put(table, row, 4, figure(4, p.volume, 2));
    put(table, row, 5, figure(5, p.price, p.digits));
    put(table, row, 6, figure(6, p.sl, p.digits));
    put(table, row, 7, figure(7, p.tp, p.digits));
    put(table, row, 9, figure(9, p.swap, 2));
    setPositionPrices(table, row, p);
}

void writeOrderRow(QTableWidget *table, int row, const PendingOrder &o, const DateTimeTexts &timeText,
                   ColumnFigures &figure)
{
    put(table, row, 0, o.symbol)->setData(Qt::UserRole, orderRowTag);
    put(table, row, 1, QString::number(o.ticket));
    put(table, row, 2, timeText(o.time));
    put(table, row, 3, orderTypeText(o.type));
    put(table, row, 4, figure(4, o.volume, 2));
    put(table, row, 5, figure(5, o.price, o.digits));
    put(table, row, 6, figure(6, o.sl, o.digits));
    put(table, row, 7, figure(7, o.tp, o.digits));
}

template <typename Row> QVector<qint64> ticketsOf(const QList<Row> &rows)
{
    QVector<qint64> tickets;
    tickets.reserve(rows.size());
    for (const Row &row : rows)
        tickets.append(row.ticket);
    return tickets;
}

// Walks two ascending ticket lists together: `keep(i, j)` for a ticket in both,
// `gone(i)` for one only in `old`, `come(j)` for one only in `fresh`.
template <typename Keep, typename Gone, typename Come>
void mergeTickets(const QVector<qint64> &old, const QVector<qint64> &fresh, Keep keep, Gone gone, Come come)
{
    int i = 0;
    int j = 0;
    while (i < old.size() || j < fresh.size()) {
        if (j == fresh.size() || (i < old.size() && old.at(i) < fresh.at(j)))
            gone(i++);
        else if (i == old.size() || fresh.at(j) < old.at(i))
            come(j++);
        else
            keep(i++, j++);
    }
}

// How many separate runs of rows aligning `old` to `fresh` inserts or removes.
int rowRuns(const QVector<qint64> &old, const QVector<qint64> &fresh)
{
    int runs = 0;
    int last = 0; // 0 kept, 1 gone, 2 come
    mergeTickets(
        old, fresh, [&](int, int) { last = 0; },
        [&](int) {
            runs += last != 1;
            last = 1;
        },
        [&](int) {
            runs += last != 2;
            last = 2;
        });
    return runs;
}

// Makes the rows from `offset` that show the tickets `old` have one row per ticket of
// `fresh`: rows of tickets gone are removed, empty rows inserted for tickets come.
// Returns, per ticket of `fresh`, its index in `old`, or -1 for an inserted row.
QVector<int> alignRows(QTableWidget *table, int offset, const QVector<qint64> &old, const QVector<qint64> &fresh)
{
    QAbstractItemModel *model = table->model();
    QVector<int> from(fresh.size(), -1);
    QVector<bool> kept(old.size(), false);
    mergeTickets(
        old, fresh,
        [&](int i, int j) {
            kept[i] = true;
            from[j] = i;
        },
        [](int) {}, [](int) {});
    // From the bottom up, so the rows still to remove keep their numbers.
    for (int end = old.size(); end > 0;) {
        if (kept.at(end - 1)) {
            --end;
            continue;
        }
        int begin = end - 1;
        while (begin > 0 && !kept.at(begin - 1))
            --begin;
        model->removeRows(offset + begin, end - begin);
        end = begin;
    }
    // The kept rows now stand in ticket order; the new ones go between them.
    for (int j = 0; j < fresh.size();) {
        if (from.at(j) >= 0) {
            ++j;
            continue;
        }
        int end = j + 1;
        while (end < fresh.size() && from.at(end) < 0)
            ++end;
        model->insertRows(offset + j, end - j);
        j = end;
    }
    return from;
}

} // namespace

void fillTradeTable(QTableWidget *table, const QList<Position> &positions, const QList<PendingOrder> &orders,
                    const QTimeZone &zone)
{
    table->setRowCount(0);
    table->setRowCount(positions.size() + orders.size());
    // One change notice for every cell, not one or two per cell.
    QAbstractItemModel *model = table->model();
    const bool wasBlocked = model->blockSignals(true);
    const DateTimeTexts timeText(zone);
    ColumnFigures figure;
    int row = 0;
    for (const Position &p : positions)
        writePositionRow(table, row++, p, timeText, figure);
    for (const PendingOrder &o : orders)
        writeOrderRow(table, row++, o, timeText, figure);
    model->blockSignals(wasBlocked);
    if (row > 0 && !wasBlocked)
        emit model->dataChanged(model->index(0, 0), model->index(row - 1, model->columnCount() - 1));
}

bool TradeTable::inStep(const QTableWidget *table, const QTimeZone &zone) const
{
    const int rows = m_positions.size() + m_orders.size();
    if (!m_filled || zone != m_zone || table->rowCount() != rows)
        return false;
    // Whoever else empties or refills the table changes its rows here too.
    const auto shows = [table](int row, qint64 ticket) {
        const QTableWidgetItem *item = table->item(row, 1);
        return item && item->text() == QString::number(ticket);
    };
    if (!m_positions.isEmpty() &&
        !(shows(0, m_positions.first().ticket) && shows(m_positions.size() - 1, m_positions.last().ticket)))
        return false;
    return m_orders.isEmpty() ||
           (shows(m_positions.size(), m_orders.first().ticket) && shows(rows - 1, m_orders.last().ticket));
}

bool TradeTable::fill(QTableWidget *table, const QList<Position> &positions, const QList<PendingOrder> &orders,
                      const QTimeZone &zone)
{
    bool newRows = true;
    const QVector<qint64> oldPositions = ticketsOf(m_positions);
    const QVector<qint64> oldOrders = ticketsOf(m_orders);
    const QVector<qint64> freshPositions = ticketsOf(positions);
    const QVector<qint64> freshOrders = ticketsOf(orders);
    const bool ascending = std::is_sorted(freshPositions.cbegin(), freshPositions.cend()) &&
                           std::is_sorted(freshOrders.cbegin(), freshOrders.cend());
    if (!ascending || !inStep(table, zone) ||
        rowRuns(oldPositions, freshPositions) + rowRuns(oldOrders, freshOrders) > maxRowRuns) {
        fillTradeTable(table, positions, orders, zone);
        // Behind one change notice too: a notice per coloured cell costs as much as the fill.
        QAbstractItemModel *model = table->model();
        const bool wasBlocked = model->blockSignals(true);
        for (int row = 0; row < table->rowCount(); ++row)
            colourTradeRow(table, row);
        model->blockSignals(wasBlocked);
        const int rows = table->rowCount();
        if (rows > 0 && !wasBlocked)
            emit model->dataChanged(model->index(0, 0), model->index(rows - 1, model->columnCount() - 1));
    } else {
        newRows = table->rowCount() != positions.size() + orders.size() ||
                  rowRuns(oldPositions, freshPositions) + rowRuns(oldOrders, freshOrders) > 0;
        const QVector<int> positionFrom = alignRows(table, 0, oldPositions, freshPositions);
        const QVector<int> orderFrom = alignRows(table, positions.size(), oldOrders, freshOrders);
        QAbstractItemModel *model = table->model();
        const bool wasBlocked = model->blockSignals(true);
        const DateTimeTexts timeText(zone);
        ColumnFigures figure;
        for (int j = 0; j < positions.size(); ++j) {
            const Position &p = positions.at(j);
            const int old = positionFrom.at(j);
            if (old < 0 || m_positions.at(old) != p) {
                writePositionRow(table, j, p, timeText, figure);
                colourTradeRow(table, j);
            } else if (m_pricesKnown) {
                // Only the figures that moved since they were shown are formatted again.
                const Position &shown = m_positions.at(old);
                if (shown.digits != p.digits || !sameBits(shown.currentPrice, p.currentPrice))
                    put(table, j, 8, fixed(p.currentPrice, p.digits));
                if (!sameBits(shown.profit, p.profit)) {
                    const QString profit = fixed(p.profit, 2);
                    bool changed = false;
                    QTableWidgetItem *item = put(table, j, 10, profit, &changed);
                    if (changed)
                        colourProfit(item, profit);
                }
            } else if (setPositionPrices(table, j, p)) {
                colourProfit(table->item(j, 10));
            }
        }
        for (int j = 0; j < orders.size(); ++j) {
            const int old = orderFrom.at(j);
            if (old < 0 || m_orders.at(old) != orders.at(j)) {
                writeOrderRow(table, positions.size() + j, orders.at(j), timeText, figure);
                colourTradeRow(table, positions.size() + j);
            }
        }
        model->blockSignals(wasBlocked);
        const int rows = table->rowCount();
        if (rows > 0 && !wasBlocked)
            emit model->dataChanged(model->index(0, 0), model->index(rows - 1, model->columnCount() - 1));
    }
    m_positions = positions;
    m_orders = orders;
    m_zone = zone;
    m_filled = true;
    m_pricesKnown = true;
    return newRows;
}

void TradeTable::setPrices(QTableWidget *table, int row, const Position &position)
{
    setPositionPrices(table, row, position);
    if (row >= 0 && row < m_positions.size() && m_positions.at(row).ticket == position.ticket) {
        Position &shown = m_positions[row];
        shown.currentPrice = position.currentPrice;
        shown.profit = position.profit;
        shown.digits = position.digits;
    } else {
        m_pricesKnown = false;
    }
}

bool setPositionPrices(QTableWidget *table, int row, const Position &position)
{
    bool changed = false;
    put(table, row, 8, fixed(position.currentPrice, position.digits), &changed);
    put(table, row, 10, fixed(position.profit, 2), &changed);
    return changed;
}

void colourTradeRow(QTableWidget *table, int row)
{
    if (QTableWidgetItem *type = table->item(row, 3)) {
        const QString side = type->text().toLower();
        type->setForeground(brushOf(side == QLatin1String("buy")    ? Qt::blue
                                    : side == QLatin1String("sell") ? Qt::red
                                                                    : Qt::black));
    }
    if (QTableWidgetItem *profit = table->item(row, 10))
        colourProfit(profit);
}

QList<SymbolNetFigures> netFiguresOf(const QList<Position> &positions)
{
    struct Sums
    {
        SymbolNetFigures figures;
        int buys = 0;
        int sells = 0;
    };
    QMap<QString, Sums> bySymbol;
    for (const Position &p : positions) {
        Sums &sums = bySymbol[p.symbol];
        sums.figures.symbol = p.symbol;
        ++sums.figures.positions;
        if (p.isSell()) {
            ++sums.sells;
            sums.figures.sellVolume += p.volume;
            sums.figures.sellPrice += p.price;
        } else {
            ++sums.buys;
            sums.figures.buyVolume += p.volume;
            sums.figures.buyPrice += p.price;
        }
        sums.figures.profit += p.profit;
    }
    QList<SymbolNetFigures> result;
    for (Sums &sums : bySymbol) {
        sums.figures.buyPrice = sums.buys ? sums.figures.buyPrice / sums.buys : 0.0;
        sums.figures.sellPrice = sums.sells ? sums.figures.sellPrice / sums.sells : 0.0;
        result.append(sums.figures);
    }
    return result;
}

static void putNetRow(QTableWidget *table, int row, const SymbolNetFigures &f, int digits)
{
    const QuietRowUpdate quiet(table, row);
    put(table, row, 1, QString::number(f.positions));
    put(table, row, 2, fixed(f.buyVolume, 2));
    put(table, row, 3, fixed(f.buyPrice, digits));
    put(table, row, 4, fixed(f.sellVolume, 2));
    put(table, row, 5, fixed(f.sellPrice, digits));
    put(table, row, 6, fixed(f.buyVolume - f.sellVolume, 2));
    put(table, row, 7, fixed(f.profit, 2));
}

static void putFooter(QTableWidget *table, const SymbolNetFigures &totals, const QFont &font)
{
    const int row = table->rowCount() - 1;
    const QuietRowUpdate quiet(table, row);
    const QString texts[] = {QStringLiteral("Summary"),
                             QString::number(totals.positions),
                             fixed(totals.buyVolume, 2),
                             QString(),
                             fixed(totals.sellVolume, 2),
                             QString(),
                             fixed(totals.buyVolume - totals.sellVolume, 2),
                             fixed(totals.profit, 2)};
    for (int column = 0; column < 8; ++column) {
        QTableWidgetItem *item = put(table, row, column, texts[column]);
        item->setFont(font);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
}

void NetTable::fill(QTableWidget *table, const QList<SymbolNetFigures> &figures,
                    const std::function<int(const QString &)> &digitsOf, const QFont &footerFont)
{
    table->setRowCount(0);
    table->setRowCount(figures.size() + 1);
    SymbolNetFigures totals;
    for (int row = 0; row < figures.size(); ++row) {
        const SymbolNetFigures &f = figures.at(row);
        put(table, row, 0, f.symbol);
        putNetRow(table, row, f, digitsOf ? digitsOf(f.symbol) : 0);
        totals.positions += f.positions;
        totals.buyVolume += f.buyVolume;
        totals.sellVolume += f.sellVolume;
        totals.profit += f.profit;
    }
    putFooter(table, totals, footerFont);
    m_rows.clear();
    for (int row = 0; row < figures.size(); ++row)
        m_rows.append(shownIn(table, row));
}

NetTable::Shown NetTable::shownIn(const QTableWidget *table, int row)
{
    const auto text = [table, row](int column) {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QString();
    };
    return {text(0), text(1).toInt(), text(2).toDouble(), text(4).toDouble(), text(7).toDouble()};
}

bool NetTable::inStep(const QTableWidget *table) const
{
    if (m_rows.size() != table->rowCount() - 1)
        return false;
    for (int row = 0; row < m_rows.size(); ++row) {
        const QTableWidgetItem *name = table->item(row, 0);
        if (!name || name->text() != m_rows.at(row).symbol)
            return false;
    }
    return true;
}

void NetTable::update(QTableWidget *table, const SymbolNetFigures &figures, int digits, const QFont &footerFont)
{
    if (table->rowCount() == 0)
        return;
    if (!inStep(table)) {
        m_rows.clear();
        for (int row = 0; row < table->rowCount() - 1; ++row)
            m_rows.append(shownIn(table, row));
    }
    SymbolNetFigures totals = figures;
    for (int row = 0; row < m_rows.size(); ++row) {
        Shown &shown = m_rows[row];
        if (shown.symbol == figures.symbol) {
            putNetRow(table, row, figures, digits);
            shown = shownIn(table, row);
            continue;
        }
        totals.positions += shown.positions;
        totals.buyVolume += shown.buyVolume;
        totals.sellVolume += shown.sellVolume;
        totals.profit += shown.profit;
    }
    putFooter(table, totals, footerFont);
}

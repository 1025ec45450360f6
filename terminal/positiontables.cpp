#include "positiontables.h"

#include "jsonreadings.h"
#include "quietrowupdate.h"
#include "servertime.h"
#include "textitem.h"

#include <QMap>
#include <QTableWidget>

const QString positionRowTag = QStringLiteral("position");
const QString orderRowTag = QStringLiteral("order");

namespace {

QString fixed(double value, int digits)
{
    return QString::number(value, 'f', jsonreading::boundedDigits(digits));
}

// Writes the text in place: a fresh item per tick would mean allocations and a
// full repaint of the cell for every price.
QTableWidgetItem *put(QTableWidget *table, int row, int column, const QString &text)
{
    QTableWidgetItem *item = table->item(row, column);
    if (item) {
        item->setText(text);
        return item;
    }
    item = new TextItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table->setItem(row, column, item);
    return item;
}

QString orderTypeText(int code)
{
    static const char *const words[] = {"buy",      "sell",      "buy limit",      "sell limit",
                                        "buy stop", "sell stop", "buy limit stop", "sell limit stop"};
    return code >= 0 && code <= 7 ? QLatin1String(words[code]) : QString();
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
    int row = 0;
    for (const Position &p : positions) {
        put(table, row, 0, p.symbol)->setData(Qt::UserRole, positionRowTag);
        put(table, row, 1, QString::number(p.ticket));
        put(table, row, 2, formatDateTime(p.time, zone));
        put(table, row, 3, p.type);
        put(table, row, 4, fixed(p.volume, 2));
        put(table, row, 5, fixed(p.price, p.digits));
        put(table, row, 6, fixed(p.sl, p.digits));
        put(table, row, 7, fixed(p.tp, p.digits));
        put(table, row, 9, fixed(p.swap, 2));
        setPositionPrices(table, row, p);
        ++row;
    }
    for (const PendingOrder &o : orders) {
        put(table, row, 0, o.symbol)->setData(Qt::UserRole, orderRowTag);
        put(table, row, 1, QString::number(o.ticket));
        put(table, row, 2, formatDateTime(o.time, zone));
        put(table, row, 3, orderTypeText(o.type));
        put(table, row, 4, fixed(o.volume, 2));
        put(table, row, 5, fixed(o.price, o.digits));
        put(table, row, 6, fixed(o.sl, o.digits));
        put(table, row, 7, fixed(o.tp, o.digits));
        ++row;
    }
    model->blockSignals(wasBlocked);
    if (row > 0 && !wasBlocked)
        emit model->dataChanged(model->index(0, 0), model->index(row - 1, model->columnCount() - 1));
}

void setPositionPrices(QTableWidget *table, int row, const Position &position)
{
    put(table, row, 8, fixed(position.currentPrice, position.digits));
    put(table, row, 10, fixed(position.profit, 2));
}

void colourTradeRow(QTableWidget *table, int row)
{
    if (QTableWidgetItem *type = table->item(row, 3)) {
        const QString side = type->text().toLower();
        type->setForeground(side == QLatin1String("buy")    ? Qt::blue
                            : side == QLatin1String("sell") ? Qt::red
                                                            : Qt::black);
    }
    if (QTableWidgetItem *profit = table->item(row, 10)) {
        const double value = profit->text().toDouble();
        profit->setForeground(value < 0 ? Qt::red : value > 0 ? Qt::blue : Qt::black);
    }
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

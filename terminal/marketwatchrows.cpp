#include "marketwatchrows.h"

#include "jsonreadings.h"
#include "quietrowupdate.h"
#include "servertime.h"

#include <QTableWidget>
#include <cmath>

namespace {

QString fixed(double value, int digits)
{
    return QString::number(value, 'f', digits);
}

QString percent(double value)
{
    return QString::number(value, 'f', 2) + QLatin1Char('%');
}

// Most ticks of a batch carry the same server second, and converting it to the
// server's zone is the dearest step of a row update.
QString tickTime(qint64 seconds, const QTimeZone &zone)
{
    static qint64 cachedSeconds = -1;
    static QTimeZone cachedZone;
    static QString cachedText;
    if (seconds != cachedSeconds || zone != cachedZone) {
        cachedText = formatTime(seconds, zone);
        cachedSeconds = seconds;
        cachedZone = zone;
    }
    return cachedText;
}

Qt::GlobalColor moveColour(double before, double now)
{
    return before < now ? Qt::blue : before > now ? Qt::red : Qt::black;
}

void setCell(QTableWidget *table, int row, int column, const QString &text, Qt::GlobalColor colour)
{
    if (QTableWidgetItem *item = table->item(row, column)) {
        item->setForeground(QBrush(colour));
        item->setText(text);
    }
}

// A price cell's colour compares the text it showed with the new value.
void setPriceCell(QTableWidget *table, int row, int column, double value, int digits)
{
    const QTableWidgetItem *item = table->item(row, column);
    if (!item)
        return;
    setCell(table, row, column, fixed(value, digits), moveColour(item->text().toDouble(), value));
}

QTableWidgetItem *newCell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

qint64 spreadPoints(double bid, double ask, int digits)
{
    const double points = std::round((ask - bid) * std::pow(10.0, jsonreading::boundedDigits(digits)));
    if (!std::isfinite(points) || std::fabs(points) > 9.0e15)
        return 0;
    return qint64(points);
}

void fillMarketWatchRow(QTableWidget *table, int row, const QString &symbol, const TickData &last, int digits)
{
    digits = jsonreading::boundedDigits(digits);
    table->setItem(row, 0, newCell(symbol));
    table->setItem(row, 1, newCell(fixed(last.bid, digits)));
    table->setItem(row, 2, newCell(fixed(last.ask, digits)));
    table->setItem(row, 3, newCell(QString::number(spreadPoints(last.bid, last.ask, digits))));
    table->setItem(row, 4, newCell(fixed(last.askHigh, digits)));
    table->setItem(row, 5, newCell(fixed(last.bidLow, digits)));
    table->setItem(row, 6, newCell(QStringLiteral("00:00:00")));
    table->setItem(row, 7, newCell(QStringLiteral("0.00%")));
    table->setItem(row, 8, newCell(QStringLiteral("0.00%")));
}

void updateMarketWatchRow(QTableWidget *table, int row, const TickData &tick, const QTimeZone &zone)
{
    const int digits = jsonreading::boundedDigits(tick.digits);
    const QuietRowUpdate quiet(table, row);
    setPriceCell(table, row, 1, tick.bid, digits);
    setPriceCell(table, row, 2, tick.ask, digits);
    if (const QTableWidgetItem *item = table->item(row, 3)) {
        const qint64 spread = spreadPoints(tick.bid, tick.ask, digits);
        const qint64 before = item->text().toLongLong();
        setCell(table, row, 3, QString::number(spread), moveColour(double(before), double(spread)));
    }
    setCell(table, row, 4, fixed(tick.askHigh, digits), Qt::blue);
    setCell(table, row, 5, fixed(tick.bidLow, digits), Qt::red);
    if (QTableWidgetItem *item = table->item(row, 6))
        item->setText(tick.serverTime < 1 ? QStringLiteral("00:00:00") : tickTime(tick.serverTime, zone));
    if (QTableWidgetItem *item = table->item(row, 7))
        item->setText(percent(tick.ask == 0.0 ? 0.0 : (tick.ask - tick.askHigh) / tick.ask * 100.0));
    if (QTableWidgetItem *item = table->item(row, 8))
        item->setText(percent(tick.bid == 0.0 ? 0.0 : (tick.bid - tick.bidLow) / tick.bid * 100.0));
}

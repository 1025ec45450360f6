#include "historytables.h"

#include "footeritem.h"
#include "jsonreadings.h"
#include "servertime.h"
#include "tablestyle.h"

#include <QIcon>
#include <QJsonArray>
#include <QTableWidget>
#include <cmath>

namespace {

// A JSON number without a fraction that fits 32 bits; anything else is 0.
int int32Of(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < -2147483648.0 || number > 2147483647.0)
        return 0;
    return int(number);
}

// A code that may come with a fraction; out-of-range values fall outside every table.
int codeOf(const QJsonValue &value)
{
    const double number = value.toDouble(-1.0);
    if (!std::isfinite(number) || number < -2147483648.0 || number > 2147483647.0)
        return -1;
    return int(number);
}

int digitsOf(const QJsonValue &value)
{
    return jsonreading::boundedDigits(int32Of(value));
}

QString money(double value)
{
    return QString::number(value, 'f', 2);
}

QString lots(double wireVolume)
{
    return QString::number(wireVolume / 10000.0, 'f', 2);
}

QString price(double value, int digits)
{
    return QString::number(value, 'f', digits);
}

QString priceOrEmpty(double value, int digits)
{
    return value == 0.0 ? QString() : price(value, digits);
}

// Non-object elements carry nothing to show and would only add phantom rows.
QVector<QJsonObject> objectsOf(const QJsonValue &value)
{
    QVector<QJsonObject> objects;
    const QJsonArray array = value.toArray();
    objects.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (element.isObject())
            objects.append(element.toObject());
    }
    return objects;
}

class TableFiller
{
public:
    TableFiller(QTableWidget *table, int dataRows)
        : m_table(table)
        , m_sorting(table->isSortingEnabled())
    {
        // Sorting stays off while filling so that each new cell does not re-sort the table.
        m_table->setSortingEnabled(false);
        m_table->setUpdatesEnabled(false);
        m_table->setRowCount(0);
        m_table->setRowCount(dataRows + 1);
        // One change notice for every cell when the filling is done, not one per cell.
        m_wasBlocked = m_table->model()->blockSignals(true);
    }
    ~TableFiller()
    {
        QAbstractItemModel *model = m_table->model();
        model->blockSignals(m_wasBlocked);
        if (!m_wasBlocked)
            emit model->dataChanged(model->index(0, 0), model->index(model->rowCount() - 1, model->columnCount() - 1));
        m_table->setUpdatesEnabled(true);
        m_table->setSortingEnabled(m_sorting);
    }

    void set(int row, int column, const QString &text, const QIcon *icon = nullptr)
    {
        auto *item = new FooterItem(text);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        if (icon)
            item->setIcon(*icon);
        m_table->setItem(row, column, item);
    }

    void footer(int span, const QString &text, const QFont &font)
    {
        const int row = m_table->rowCount() - 1;
        auto *item = new FooterItem(text, true);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        item->setFont(font);
        m_table->setItem(row, 0, item);
        m_table->setSpan(row, 0, 1, span);
    }

private:
    QTableWidget *m_table;
    bool m_sorting;
    bool m_wasBlocked = false;
};

// Read once per reply: a QIcon made from a file name reads the file each time.
struct RowIcons
{
    QIcon buy{QStringLiteral(":/icon/buy.png")};
    QIcon sell{QStringLiteral(":/icon/sell.png")};
    QIcon pending{QStringLiteral(":/icon/pending_order.png")};
};

void fillPositions(const QVector<QJsonObject> &positions, TableFiller &filler, const QTimeZone &zone,
                   const RowIcons &icons, HistoryTotals &totals)
{
    for (int row = 0; row < positions.size(); ++row) {
        const QJsonObject &p = positions.at(row);
        const QString type = p.value("type").toString();
        const int digits = digitsOf(p.value("digits"));
        const double profit = p.value("profit").toDouble();
        const double swap = p.value("swap").toDouble();
        const double commission = p.value("commission").toDouble();
        filler.set(row, 0, p.value("symbol").toString(), type == QLatin1String("buy") ? &icons.buy : &icons.sell);
        filler.set(row, 1, QString::number(int32Of(p.value("ticket"))));
        filler.set(row, 2, formatDateTime(int32Of(p.value("time")), zone));
        filler.set(row, 3, type);
        filler.set(row, 4, lots(p.value("volume").toDouble()));
        filler.set(row, 5, priceOrEmpty(p.value("sl").toDouble(), digits));
        filler.set(row, 6, priceOrEmpty(p.value("tp").toDouble(), digits));
        filler.set(row, 7, price(p.value("price_o").toDouble(), digits));
        filler.set(row, 8, price(p.value("price_c").toDouble(), digits));
        filler.set(row, 9, money(swap));
        filler.set(row, 10, money(commission));
        filler.set(row, 11, money(profit));
        totals.profit += profit;
        totals.swap += swap;
        totals.commission += commission;
    }
}

void fillDeals(const QVector<QJsonObject> &deals, TableFiller &filler, const DigitsLookup &storeDigits,
               const QTimeZone &zone, const RowIcons &icons, HistoryTotals &totals)
{
    static const char *const typeWords[] = {"buy", "sell", "balance", "credit", "charge"};
    for (int row = 0; row < deals.size(); ++row) {
        const QJsonObject &d = deals.at(row);
        const QString symbol = d.value("symbol").toString();
        const int type = int32Of(d.value("type"));
        int digits = storeDigits ? jsonreading::boundedDigits(storeDigits(symbol)) : 0;
        if (digits == 0)
            digits = digitsOf(d.value("digits"));
        const double profit = d.value("profit").toDouble();
        const double swap = d.value("swap").toDouble();
        const bool trade = type == 0 || type == 1;
        filler.set(row, 0, symbol, type == 0 ? &icons.buy : type == 1 ? &icons.sell : nullptr);
        filler.set(row, 1, QString::number(int32Of(d.value("ticket"))));
        filler.set(row, 3, formatDateTime(int32Of(d.value("time")), zone));
        if (trade) {
            filler.set(row, 2, QString::number(int32Of(d.value("order"))));
            filler.set(row, 5, lots(d.value("volume").toDouble()));
            filler.set(row, 6, price(d.value("price").toDouble(), digits));
        }
        if (type >= 0 && type <= 4)
            filler.set(row, 4, QLatin1String(typeWords[type]));
        filler.set(row, 7, money(swap));
        filler.set(row, 8, money(d.value("commission").toDouble()));
        filler.set(row, 9, money(profit));
        totals.swap += swap;
        totals.fee += d.value("fee").toDouble();
        if (type == 2) {
            if (profit > 0)
                totals.deposit += profit;
            else
                totals.withdrawal += profit;
        } else if (type == 3) {
            totals.credit += profit;
        }
    }
}

void fillOrders(const QVector<QJsonObject> &orders, TableFiller &filler, const DigitsLookup &storeDigits,
                const QTimeZone &zone, const RowIcons &icons, HistoryTotals &totals)
{
    static const char *const typeWords[] = {"buy",      "sell",      "buy limit",      "sell limit",
                                            "buy stop", "sell stop", "buy limit stop", "sell limit stop"};
    static const char *const stateWords[] = {"started", "placed",   "canceled", "partial",
                                             "filled",  "rejected", "expired"};
    for (int row = 0; row < orders.size(); ++row) {
        const QJsonObject &o = orders.at(row);
        const QString symbol = o.value("symbol").toString();
        const int type = int32Of(o.value("type"));
        const int state = codeOf(o.value("state"));
        int digits = storeDigits ? jsonreading::boundedDigits(storeDigits(symbol)) : 0;
        if (digits == 0)
            digits = digitsOf(o.value("digits"));
        const bool knownType = type >= 0 && type <= 7;
        filler.set(row, 0, symbol, knownType ? &icons.pending : nullptr);
        filler.set(row, 1, QString::number(int32Of(o.value("ticket"))));
        filler.set(row, 2, formatDateTime(int32Of(o.value("time")), zone));
        filler.set(row, 3, knownType ? QLatin1String(typeWords[type]) : QString());
        filler.set(row, 4, lots(o.value("volume").toDouble()));
        filler.set(row, 5, priceOrEmpty(o.value("sl").toDouble(), digits));
        filler.set(row, 6, priceOrEmpty(o.value("tp").toDouble(), digits));
        filler.set(row, 7, price(o.value("price").toDouble(), digits));
        filler.set(row, 8, priceOrEmpty(o.value("s_price").toDouble(), digits));
        filler.set(row, 9, state >= 0 && state <= 6 ? QLatin1String(stateWords[state]) : QString());
        ++totals.total;
        if (state == 2)
            ++totals.cancelled;
        else if (state == 4)
            ++totals.filled;
    }
}

} // namespace

double HistoryTotals::balance() const
{
    return deposit + profit + withdrawal + credit + swap + commission + fee;
}

QString HistoryTotals::positionsFooter() const
{
    return QStringLiteral("Proft: %1, Credit: %2, Deposit: %3, Withdraw: %4, Commission: %5")
        .arg(money(profit), money(credit), money(deposit), money(withdrawal), QString::number(commission, 'g', 6));
}

QString HistoryTotals::ordersFooter() const
{
    return QStringLiteral("Filled: %1, Canceled: %2, Total: %3").arg(filled).arg(cancelled).arg(total);
}

QString HistoryTotals::dealsFooter() const
{
    return QStringLiteral("Proft: %1, Credit: %2, Deposit: %3, Withdraw: %4, Swap: %5, Commission: %6, Balance: %7")
        .arg(money(profit), money(credit), money(deposit), money(withdrawal), money(swap), money(commission),
             money(balance()));
}

HistoryTotals loadTradeHistory(const QJsonObject &reply, const HistoryTables &tables, const DigitsLookup &digitsOf,
                               const QTimeZone &zone, const QFont &footerFont)
{
    HistoryTotals totals;
    if (!tables.positions || !tables.orders || !tables.deals)
        return totals;
    const QVector<QJsonObject> positions = objectsOf(reply.value("positions"));
    const QVector<QJsonObject> orders = objectsOf(reply.value("orders"));
    const QVector<QJsonObject> deals = objectsOf(reply.value("deals"));
    const RowIcons icons;
    {
        TableFiller filler(tables.positions, positions.size());
        fillPositions(positions, filler, zone, icons, totals);
        styleSummaryTable(tables.positions);
        TableFiller dealFiller(tables.deals, deals.size());
        fillDeals(deals, dealFiller, digitsOf, zone, icons, totals);
        styleSummaryTable(tables.deals);
        TableFiller orderFiller(tables.orders, orders.size());
        fillOrders(orders, orderFiller, digitsOf, zone, icons, totals);
        fitColumnsToWidth(tables.orders);

        filler.footer(11, totals.positionsFooter(), footerFont);
        orderFiller.footer(10, totals.ordersFooter(), footerFont);
        dealFiller.footer(8, totals.dealsFooter(), footerFont);
    }
    return totals;
}

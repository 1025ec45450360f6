#include "historytables.h"

#include "datetimetexts.h"
#include "footeritem.h"
#include "jsonreadings.h"
#include "tablestyle.h"

#include <QHeaderView>
#include <QIcon>
#include <QJsonArray>
#include <QTableWidget>
#include <array>
#include <cmath>
#include <cstring>

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
template <typename Row, typename Read> QVector<Row> rowsOf(const QJsonValue &value, Read read)
{
    QVector<Row> rows;
    const QJsonArray array = value.toArray();
    rows.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (element.isObject())
            rows.append(read(element.toObject()));
    }
    return rows;
}

// Bit for bit: 0 and -0 read differently.
template <size_t N> bool sameNumbers(const std::array<double, N> &a, const std::array<double, N> &b)
{
    return std::memcmp(a.data(), b.data(), sizeof(double) * N) == 0;
}

class TableFiller
{
public:
    TableFiller(QTableWidget *table, int dataRows)
        : m_table(table)
        , m_sorting(table->isSortingEnabled() && table->horizontalHeader()->sortIndicatorSection() >= 0)
    {
        // Sorting stays off while filling so that each new cell does not re-sort the table.
        // Without a sorted column no cell re-sorts it, and switching sorting back on would
        // walk every cell only to keep the rows where they are.
        if (m_sorting)
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
        if (m_sorting)
            m_table->setSortingEnabled(true);
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

} // namespace

// What a row of each table is made from, read once from the reply: compared with the
// rows a table shows, a resent history costs no rebuild.
struct ClosedPositionRow
{
    QString symbol;
    QString type;
    int ticket = 0;
    int time = 0;
    int digits = 0;
    enum { Volume, Sl, Tp, Open, Close, Swap, Commission, Profit, Count };
    std::array<double, Count> number{};

    bool operator==(const ClosedPositionRow &o) const
    {
        return ticket == o.ticket && time == o.time && digits == o.digits && symbol == o.symbol && type == o.type &&
               sameNumbers(number, o.number);
    }
};

struct HistoryOrderRow
{
    QString symbol;
    int ticket = 0;
    int time = 0;
    int type = 0;
    int state = 0;
    int digits = 0;
    enum { Volume, Sl, Tp, Price, StopPrice, Count };
    std::array<double, Count> number{};

    bool operator==(const HistoryOrderRow &o) const
    {
        return ticket == o.ticket && time == o.time && type == o.type && state == o.state && digits == o.digits &&
               symbol == o.symbol && sameNumbers(number, o.number);
    }
};

struct DealRow
{
    QString symbol;
    int ticket = 0;
    int order = 0;
    int time = 0;
    int type = 0;
    int digits = 0;
    enum { Volume, Price, Swap, Commission, Profit, Fee, Count };
    std::array<double, Count> number{};

    bool operator==(const DealRow &o) const
    {
        return ticket == o.ticket && order == o.order && time == o.time && type == o.type && digits == o.digits &&
               symbol == o.symbol && sameNumbers(number, o.number);
    }
};

namespace {

ClosedPositionRow readPosition(const QJsonObject &p)
{
    ClosedPositionRow row;
    row.symbol = p.value(QLatin1String("symbol")).toString();
    row.type = p.value(QLatin1String("type")).toString();
    row.ticket = int32Of(p.value(QLatin1String("ticket")));
    row.time = int32Of(p.value(QLatin1String("time")));
    row.digits = digitsOf(p.value(QLatin1String("digits")));
    row.number = {p.value(QLatin1String("volume")).toDouble(),     p.value(QLatin1String("sl")).toDouble(),
                  p.value(QLatin1String("tp")).toDouble(),         p.value(QLatin1String("price_o")).toDouble(),
                  p.value(QLatin1String("price_c")).toDouble(),    p.value(QLatin1String("swap")).toDouble(),
                  p.value(QLatin1String("commission")).toDouble(), p.value(QLatin1String("profit")).toDouble()};
    return row;
}

// The symbol store's digits win; the row's own count only stands in for a symbol it does not know.
int shownDigits(const QJsonObject &object, const QString &symbol, const DigitsLookup &storeDigits)
{
    const int digits = storeDigits ? jsonreading::boundedDigits(storeDigits(symbol)) : 0;
    return digits != 0 ? digits : digitsOf(object.value(QLatin1String("digits")));
}

HistoryOrderRow readOrder(const QJsonObject &o, const DigitsLookup &storeDigits)
{
    HistoryOrderRow row;
    row.symbol = o.value(QLatin1String("symbol")).toString();
    row.ticket = int32Of(o.value(QLatin1String("ticket")));
    row.time = int32Of(o.value(QLatin1String("time")));
    row.type = int32Of(o.value(QLatin1String("type")));
    row.state = codeOf(o.value(QLatin1String("state")));
    row.digits = shownDigits(o, row.symbol, storeDigits);
    row.number = {o.value(QLatin1String("volume")).toDouble(), o.value(QLatin1String("sl")).toDouble(),
                  o.value(QLatin1String("tp")).toDouble(), o.value(QLatin1String("price")).toDouble(),
                  o.value(QLatin1String("s_price")).toDouble()};
    return row;
}

DealRow readDeal(const QJsonObject &d, const DigitsLookup &storeDigits)
{
    DealRow row;
    row.symbol = d.value(QLatin1String("symbol")).toString();
    row.ticket = int32Of(d.value(QLatin1String("ticket")));
    row.order = int32Of(d.value(QLatin1String("order")));
    row.time = int32Of(d.value(QLatin1String("time")));
    row.type = int32Of(d.value(QLatin1String("type")));
    row.digits = shownDigits(d, row.symbol, storeDigits);
    row.number = {d.value(QLatin1String("volume")).toDouble(), d.value(QLatin1String("price")).toDouble(),
                  d.value(QLatin1String("swap")).toDouble(),   d.value(QLatin1String("commission")).toDouble(),
                  d.value(QLatin1String("profit")).toDouble(), d.value(QLatin1String("fee")).toDouble()};
    return row;
}

void addTotals(const QVector<ClosedPositionRow> &positions, HistoryTotals &totals)
{
    for (const ClosedPositionRow &p : positions) {
        totals.profit += p.number[ClosedPositionRow::Profit];
        totals.swap += p.number[ClosedPositionRow::Swap];
        totals.commission += p.number[ClosedPositionRow::Commission];
    }
}

void addTotals(const QVector<DealRow> &deals, HistoryTotals &totals)
{
    for (const DealRow &d : deals) {
        const double profit = d.number[DealRow::Profit];
        totals.swap += d.number[DealRow::Swap];
        totals.fee += d.number[DealRow::Fee];
        if (d.type == 2) {
            if (profit > 0)
                totals.deposit += profit;
            else
                totals.withdrawal += profit;
        } else if (d.type == 3) {
            totals.credit += profit;
        }
    }
}

void addTotals(const QVector<HistoryOrderRow> &orders, HistoryTotals &totals)
{
    for (const HistoryOrderRow &o : orders) {
        ++totals.total;
        if (o.state == 2)
            ++totals.cancelled;
        else if (o.state == 4)
            ++totals.filled;
    }
}

void fillPositions(const QVector<ClosedPositionRow> &positions, TableFiller &filler, const DateTimeTexts &timeText,
                   const RowIcons &icons)
{
    for (int row = 0; row < positions.size(); ++row) {
        const ClosedPositionRow &p = positions.at(row);
        const auto &n = p.number;
        filler.set(row, 0, p.symbol, p.type == QLatin1String("buy") ? &icons.buy : &icons.sell);
        filler.set(row, 1, QString::number(p.ticket));
        filler.set(row, 2, timeText(p.time));
        filler.set(row, 3, p.type);
        filler.set(row, 4, lots(n[ClosedPositionRow::Volume]));
        filler.set(row, 5, priceOrEmpty(n[ClosedPositionRow::Sl], p.digits));
        filler.set(row, 6, priceOrEmpty(n[ClosedPositionRow::Tp], p.digits));
        filler.set(row, 7, price(n[ClosedPositionRow::Open], p.digits));
        filler.set(row, 8, price(n[ClosedPositionRow::Close], p.digits));
        filler.set(row, 9, money(n[ClosedPositionRow::Swap]));
        filler.set(row, 10, money(n[ClosedPositionRow::Commission]));
        filler.set(row, 11, money(n[ClosedPositionRow::Profit]));
    }
}

void fillDeals(const QVector<DealRow> &deals, TableFiller &filler, const DateTimeTexts &timeText, const RowIcons &icons)
{
    static const char *const typeWords[] = {"buy", "sell", "balance", "credit", "charge"};
    for (int row = 0; row < deals.size(); ++row) {
        const DealRow &d = deals.at(row);
        const auto &n = d.number;
        const bool trade = d.type == 0 || d.type == 1;
        filler.set(row, 0, d.symbol, d.type == 0 ? &icons.buy : d.type == 1 ? &icons.sell : nullptr);
        filler.set(row, 1, QString::number(d.ticket));
        filler.set(row, 3, timeText(d.time));
        if (trade) {
            filler.set(row, 2, QString::number(d.order));
            filler.set(row, 5, lots(n[DealRow::Volume]));
            filler.set(row, 6, price(n[DealRow::Price], d.digits));
        }
        if (d.type >= 0 && d.type <= 4)
            filler.set(row, 4, QLatin1String(typeWords[d.type]));
        filler.set(row, 7, money(n[DealRow::Swap]));
        filler.set(row, 8, money(n[DealRow::Commission]));
        filler.set(row, 9, money(n[DealRow::Profit]));
    }
}

void fillOrders(const QVector<HistoryOrderRow> &orders, TableFiller &filler, const DateTimeTexts &timeText,
                const RowIcons &icons)
{
    static const char *const typeWords[] = {"buy",      "sell",      "buy limit",      "sell limit",
                                            "buy stop", "sell stop", "buy limit stop", "sell limit stop"};
    static const char *const stateWords[] = {"started", "placed",   "canceled", "partial",
                                             "filled",  "rejected", "expired"};
    for (int row = 0; row < orders.size(); ++row) {
        const HistoryOrderRow &o = orders.at(row);
        const auto &n = o.number;
        const bool knownType = o.type >= 0 && o.type <= 7;
        filler.set(row, 0, o.symbol, knownType ? &icons.pending : nullptr);
        filler.set(row, 1, QString::number(o.ticket));
        filler.set(row, 2, timeText(o.time));
        filler.set(row, 3, knownType ? QLatin1String(typeWords[o.type]) : QString());
        filler.set(row, 4, lots(n[HistoryOrderRow::Volume]));
        filler.set(row, 5, priceOrEmpty(n[HistoryOrderRow::Sl], o.digits));
        filler.set(row, 6, priceOrEmpty(n[HistoryOrderRow::Tp], o.digits));
        filler.set(row, 7, price(n[HistoryOrderRow::Price], o.digits));
        filler.set(row, 8, priceOrEmpty(n[HistoryOrderRow::StopPrice], o.digits));
        filler.set(row, 9, o.state >= 0 && o.state <= 6 ? QLatin1String(stateWords[o.state]) : QString());
    }
}

// Puts the footer into a table left as it was, when its text changed.
void refreshFooter(QTableWidget *table, const QString &text)
{
    QTableWidgetItem *footer = table->item(table->rowCount() - 1, 0);
    if (footer && footer->text() != text)
        footer->setText(text);
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
    return TradeHistoryView().load(reply, tables, digitsOf, zone, footerFont);
}

TradeHistoryView::TradeHistoryView() = default;
TradeHistoryView::~TradeHistoryView() = default;

HistoryTotals TradeHistoryView::load(const QJsonObject &reply, const HistoryTables &tables,
                                     const DigitsLookup &digitsOf, const QTimeZone &zone, const QFont &footerFont)
{
    HistoryTotals totals;
    if (!tables.positions || !tables.orders || !tables.deals)
        return totals;
    auto positions = rowsOf<ClosedPositionRow>(reply.value(QLatin1String("positions")), readPosition);
    auto orders = rowsOf<HistoryOrderRow>(reply.value(QLatin1String("orders")),
                                          [&](const QJsonObject &o) { return readOrder(o, digitsOf); });
    auto deals = rowsOf<DealRow>(reply.value(QLatin1String("deals")),
                                 [&](const QJsonObject &d) { return readDeal(d, digitsOf); });
    addTotals(positions, totals);
    addTotals(deals, totals);
    addTotals(orders, totals);

    // A table still showing exactly these rows keeps them, and its order of sorting.
    const bool sameZone = m_filled && zone == m_zone;
    const auto shows = [sameZone](const QTableWidget *table, const auto &held, const auto &fresh) {
        return sameZone && table->rowCount() == fresh.size() + 1 && held == fresh;
    };
    const RowIcons icons;
    const DateTimeTexts timeText(zone);
    if (shows(tables.positions, m_positions, positions)) {
        refreshFooter(tables.positions, totals.positionsFooter());
    } else {
        TableFiller filler(tables.positions, positions.size());
        fillPositions(positions, filler, timeText, icons);
        styleSummaryTable(tables.positions);
        filler.footer(11, totals.positionsFooter(), footerFont);
    }
    if (shows(tables.deals, m_deals, deals)) {
        refreshFooter(tables.deals, totals.dealsFooter());
    } else {
        TableFiller filler(tables.deals, deals.size());
        fillDeals(deals, filler, timeText, icons);
        styleSummaryTable(tables.deals);
        filler.footer(8, totals.dealsFooter(), footerFont);
    }
    if (shows(tables.orders, m_orders, orders)) {
        refreshFooter(tables.orders, totals.ordersFooter());
    } else {
        TableFiller filler(tables.orders, orders.size());
        fillOrders(orders, filler, timeText, icons);
        fitColumnsToWidth(tables.orders);
        filler.footer(10, totals.ordersFooter(), footerFont);
    }
    m_positions = std::move(positions);
    m_orders = std::move(orders);
    m_deals = std::move(deals);
    m_zone = zone;
    m_filled = true;
    return totals;
}

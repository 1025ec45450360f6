#include "positiondatastore.h"

#include <utility>

namespace {

double closingPrice(const Position &position, const TickData &tick)
{
    return position.isSell() ? tick.ask : tick.bid;
}

} // namespace

PositionDataStore::PositionDataStore(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<Position>("Position");
    qRegisterMetaType<PendingOrder>("PendingOrder");
    qRegisterMetaType<QList<Position>>("QList<Position>");
    qRegisterMetaType<QList<PendingOrder>>("QList<PendingOrder>");
    qRegisterMetaType<TickData>("TickData");
}

PositionDataStore::~PositionDataStore() = default;

void PositionDataStore::setOpenPositions(const QJsonArray &array, double *swapSum)
{
    std::map<qint64, Position> fresh;
    double swap = 0.0;
    for (const auto &element : array) {
        // Anything but an object would become a phantom position under ticket 0.
        if (!element.isObject())
            continue;
        auto position = Position::fromJson(element.toObject());
        // Every row's swap counts, a repeated ticket's too: a missing one reads as 0.
        swap += position.swap;
        const qint64 ticket = position.ticket;
        // Servers send rows by ticket: appending at the end skips the tree's search.
        if (fresh.empty() || ticket > fresh.rbegin()->first)
            fresh.emplace_hint(fresh.end(), ticket, std::move(position));
        else
            fresh[ticket] = std::move(position);
    }
    if (swapSum)
        *swapSum = swap;
    if (fresh == m_positions)
        return;

    for (auto &entry : fresh) {
        Position &position = entry.second;
        const auto tick = m_lastTicks.constFind(position.symbol);
        position.currentPrice = tick == m_lastTicks.cend() ? 0.0 : closingPrice(position, *tick);
    }
    ++m_generation;
    m_positions = std::move(fresh);
    rebuildBooks();
    emit openPositionChanged();
}

void PositionDataStore::rebuildBooks()
{
    m_bookIndex.clear();
    m_books.clear();
    for (auto &entry : m_positions) {
        Position &position = entry.second;
        auto index = m_bookIndex.constFind(position.symbol);
        if (index == m_bookIndex.cend()) {
            index = m_bookIndex.insert(position.symbol, int(m_books.size()));
            m_books.emplace_back();
        }
        SymbolBook &book = m_books[*index];
        book.positions.push_back(&position);
        book.profit += position.profit;
    }
    m_firstLeaf = 1;
    while (m_firstLeaf < m_books.size())
        m_firstLeaf *= 2;
    m_profitSums.assign(2 * m_firstLeaf, 0.0);
    for (size_t b = 0; b < m_books.size(); ++b)
        m_profitSums[m_firstLeaf + b] = m_books[b].profit;
    for (size_t node = m_firstLeaf - 1; node >= 1; --node)
        m_profitSums[node] = m_profitSums[2 * node] + m_profitSums[2 * node + 1];
}

void PositionDataStore::setBookProfit(int book, double profit)
{
    m_books[size_t(book)].profit = profit;
    size_t node = m_firstLeaf + size_t(book);
    m_profitSums[node] = profit;
    for (node /= 2; node >= 1; node /= 2)
        m_profitSums[node] = m_profitSums[2 * node] + m_profitSums[2 * node + 1];
}

void PositionDataStore::setPendingOrders(const QJsonArray &array)
{
    QMap<qint64, PendingOrder> fresh;
    for (const auto &element : array) {
        if (!element.isObject())
            continue;
        const auto order = PendingOrder::fromJson(element.toObject());
        fresh.insert(order.ticket, order);
    }
    // The same orders again are no change: each change reloads the tables and asks
    // for the trade history. The first reply after a clear is one, so views follow.
    const bool cleared = std::exchange(m_ordersCleared, false);
    if (fresh == m_pendingOrders && !cleared)
        return;
    m_pendingOrders = std::move(fresh);
    emit openPositionChanged();
}

bool PositionDataStore::updatePositionProfit(Position &position, const TickData &tick)
{
    const double price = closingPrice(position, tick);
    if (price == position.currentPrice)
        return false;
    position.currentPrice = price;
    position.digits = tick.digits;
    const double move = position.isSell() ? position.price - price : price - position.price;
    position.profit = ((move * position.contractSize) * position.volume) * position.profitRate;
    return true;
}

void PositionDataStore::onPriceChanged(const TickData &tick)
{
    if (tick.symbol.isEmpty())
        return;
    auto last = m_lastTicks.find(tick.symbol);
    if (last == m_lastTicks.end()) {
        m_lastTicks.insert(tick.symbol, tick);
    } else {
        if (last->bid == tick.bid && last->ask == tick.ask && last->digits == tick.digits)
            return;
        *last = tick;
    }

    const auto index = m_bookIndex.constFind(tick.symbol);
    if (index != m_bookIndex.cend()) {
        const quint64 generation = m_generation;
        SymbolBook &book = m_books[*index];
        int buys = 0;
        int sells = 0;
        double buyVolume = 0.0;
        double buyPriceSum = 0.0;
        double sellVolume = 0.0;
        double sellPriceSum = 0.0;
        double profit = 0.0;
        for (Position *position : book.positions) {
            if (updatePositionProfit(*position, tick)) {
                emit positionProfitChanged(*position);
                // A handler replaced the positions: the walk and its figures are stale.
                if (m_generation != generation)
                    return;
            }
            if (position->isSell()) {
                ++sells;
                sellVolume += position->volume;
                sellPriceSum += position->price;
            } else {
                ++buys;
                buyVolume += position->volume;
                buyPriceSum += position->price;
            }
            profit += position->profit;
        }
        setBookProfit(*index, profit);
        emit symbolNetProfitChanged(tick.symbol, buys + sells, buyVolume, buys > 0 ? buyPriceSum / buys : 0.0,
                                    sellVolume, sells > 0 ? sellPriceSum / sells : 0.0, profit);
        if (m_generation != generation)
            return;
    }
    emit netProfitChanged(totalProfit());
}

double PositionDataStore::totalProfit() const
{
    // Node 1 is the root; with a single book it is that book's leaf.
    return m_profitSums.empty() ? 0.0 : m_profitSums[1];
}

void PositionDataStore::clear()
{
    ++m_generation;
    m_positions.clear();
    m_pendingOrders.clear();
    m_ordersCleared = true;
    m_bookIndex.clear();
    m_books.clear();
    m_profitSums.clear();
    m_firstLeaf = 0;
}

QList<Position> PositionDataStore::positions() const
{
    QList<Position> list;
    list.reserve(int(m_positions.size()));
    for (const auto &entry : m_positions)
        list.append(entry.second);
    return list;
}

QList<PendingOrder> PositionDataStore::pendingOrders() const
{
    return m_pendingOrders.values();
}

Position PositionDataStore::position(int ticket, bool *found) const
{
    const auto it = m_positions.find(qint64(ticket));
    if (found)
        *found = it != m_positions.end();
    return it == m_positions.end() ? Position() : it->second;
}

PendingOrder PositionDataStore::pendingOrder(int ticket, bool *found) const
{
    const auto it = m_pendingOrders.constFind(qint64(ticket));
    if (found)
        *found = it != m_pendingOrders.cend();
    return it == m_pendingOrders.cend() ? PendingOrder() : *it;
}

QList<Position> PositionDataStore::hedgePositions(int ticket) const
{
    const auto held = m_positions.find(qint64(ticket));
    if (held == m_positions.end())
        return {};
    // Opposite by side, not by word: "buy" and "Buy" are both buys and cannot
    // close each other.
    const Position &own = held->second;
    QList<Position> candidates;
    for (const auto &entry : m_positions) {
        const Position &other = entry.second;
        if (other.symbol == own.symbol && other.isSell() != own.isSell())
            candidates.append(other);
    }
    return candidates;
}

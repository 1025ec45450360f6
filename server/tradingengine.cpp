#include "tradingengine.h"

#include <QDateTime>
#include <cmath>
#include <utility>

namespace tradeserver {

namespace {

TradeResult fail(int status, const QString &message, const QString &reason = QString())
{
    return {status, message, reason};
}

TradeResult done(const QString &message)
{
    return {Done, message, QString()};
}

bool isBuyType(int type)
{
    return type % 2 == 0;
}

// True when the stops lie on the losing and winning sides of `price`.
bool stopsValid(bool sell, double price, double sl, double tp)
{
    if (sl < 0.0 || tp < 0.0)
        return false;
    if (sell)
        return (sl == 0.0 || sl > price) && (tp == 0.0 || tp < price);
    return (sl == 0.0 || sl < price) && (tp == 0.0 || tp > price);
}

} // namespace

double roundMoney(double value)
{
    return std::round(value * 100.0) / 100.0;
}

TradingEngine::TradingEngine(const QVector<Instrument> &instruments, std::function<qint64()> clock)
    : m_instruments(instruments)
    , m_clock(std::move(clock))
{
    for (int i = 0; i < m_instruments.size(); ++i)
        m_index.insert(m_instruments.at(i).symbol, i);
}

const Instrument *TradingEngine::instrument(const QString &symbol) const
{
    const auto it = m_index.constFind(symbol);
    return it == m_index.constEnd() ? nullptr : &m_instruments.at(*it);
}

qint64 TradingEngine::now() const
{
    return m_clock ? m_clock() : QDateTime::currentSecsSinceEpoch();
}

qint64 TradingEngine::createAccount(const QString &name, const QString &password, const QString &investorPassword,
                                    double deposit, int leverage, qint64 login)
{
    if (m_accounts.size() >= maxAccounts || password.isEmpty() || leverage < 1 || !std::isfinite(deposit) ||
        deposit < 0.0)
        return 0;
    if (login == 0) {
        while (m_accounts.contains(m_nextLogin))
            ++m_nextLogin;
        login = m_nextLogin++;
        if (m_saver)
            m_changes.counters = true;
    } else if (login < 0 || m_accounts.contains(login)) {
        return 0;
    }
    Account account;
    account.login = login;
    account.name = name;
    account.password = PasswordHash::make(password);
    if (!investorPassword.isEmpty())
        account.investorPassword = PasswordHash::make(investorPassword);
    account.group = QStringLiteral("demo\\usd");
    account.leverage = leverage;
    account.balance = roundMoney(deposit);
    if (deposit > 0.0)
        recordDeal(account, {nextTicket(), DealBalance, QString(), now(), 0, 0, 0.0, account.balance});
    m_accounts.insert(login, account);
    if (AccountChanges *changes = changesOf(login))
        changes->figures = true;
    persist();
    return login;
}

const Account *TradingEngine::account(qint64 login) const
{
    const auto it = m_accounts.constFind(login);
    return it == m_accounts.constEnd() ? nullptr : &*it;
}

const Account *TradingEngine::accountWithHistory(qint64 login)
{
    const auto it = m_accounts.find(login);
    if (it == m_accounts.end())
        return nullptr;
    needHistory(*it);
    return &*it;
}

void TradingEngine::needHistory(Account &account)
{
    if (account.historyLoaded)
        return;
    if (m_historyLoader)
        m_historyLoader(account);
    account.historyLoaded = true;
}

Access TradingEngine::authenticate(qint64 login, const QString &password) const
{
    const Account *found = account(login);
    if (!found || password.isEmpty())
        return Access::Denied;
    if (found->password.matches(password))
        return Access::Full;
    if (found->investorPassword.matches(password))
        return Access::ReadOnly;
    return Access::Denied;
}

bool TradingEngine::setPassword(qint64 login, bool mainPassword, const QString &password)
{
    auto it = m_accounts.find(login);
    if (it == m_accounts.end() || password.isEmpty())
        return false;
    (mainPassword ? it->password : it->investorPassword) = PasswordHash::make(password);
    if (AccountChanges *changes = changesOf(login))
        changes->figures = true;
    persist();
    return true;
}

double TradingEngine::conversionRate(const QString &currency) const
{
    if (currency.isEmpty() || currency == QLatin1String("USD"))
        return 1.0;
    const Quote direct = quote(currency + QLatin1String("USD"));
    if (direct.bid > 0.0)
        return direct.bid;
    const Quote inverse = quote(QLatin1String("USD") + currency);
    if (inverse.bid > 0.0)
        return 1.0 / inverse.bid;
    return 1.0;
}

double TradingEngine::currentClosePrice(const OpenPosition &position) const
{
    const Quote q = quote(position.symbol);
    return position.sell ? q.ask : q.bid;
}

double TradingEngine::rawProfit(const OpenPosition &position, double closePrice, qint64 volume) const
{
    const Instrument *spec = instrument(position.symbol);
    if (!spec)
        return 0.0;
    const double move = position.sell ? position.openPrice - closePrice : closePrice - position.openPrice;
    return move * (volume / 10000.0) * spec->contractSize * conversionRate(spec->quoteCurrency);
}

double TradingEngine::profit(const OpenPosition &position) const
{
    return rawProfit(position, currentClosePrice(position), position.volume);
}

double TradingEngine::positionMargin(const Instrument &instrument, qint64 volume, double price, int leverage) const
{
    return (volume / 10000.0) * instrument.contractSize * price * conversionRate(instrument.quoteCurrency) /
           std::max(leverage, 1);
}

double TradingEngine::margin(const Account &account) const
{
    double sum = 0.0;
    for (const OpenPosition &position : account.positions) {
        if (const Instrument *spec = instrument(position.symbol))
            sum += positionMargin(*spec, position.volume, position.openPrice, account.leverage);
    }
    return sum;
}

double TradingEngine::floatingProfit(const Account &account) const
{
    double sum = 0.0;
    for (const OpenPosition &position : account.positions)
        sum += profit(position);
    return sum;
}

void TradingEngine::setSaver(Saver saver)
{
    m_saver = std::move(saver);
    m_changes = {};
}

AccountChanges *TradingEngine::changesOf(qint64 login)
{
    return m_saver ? &m_changes.accounts[login] : nullptr;
}

void TradingEngine::persist()
{
    if (!m_saver || m_changes.isEmpty())
        return;
    // Taken first, so a saver that fails and returns does not see the same changes twice.
    const EngineChanges changes = std::exchange(m_changes, {});
    m_saver(*this, changes);
}

void TradingEngine::restore(const QMap<qint64, Account> &accounts, qint64 nextTicket, qint64 nextLogin)
{
    m_accounts = accounts;
    m_holdings.clear();
    for (const Account &account : std::as_const(m_accounts)) {
        for (const OpenPosition &position : account.positions)
            hold(position.symbol, account.login, position.ticket, false);
        for (const WorkingOrder &order : account.orders)
            hold(order.symbol, account.login, order.ticket, true);
    }
    m_nextTicket = nextTicket;
    m_nextLogin = nextLogin;
    m_changes = {};
}

TradeResult TradingEngine::execute(qint64 login, const TradeRequest &request)
{
    auto it = m_accounts.find(login);
    if (it == m_accounts.end())
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("Unknown account"));
    const TradeResult result = dispatch(*it, request);
    persist();
    return result;
}

TradeResult TradingEngine::dispatch(Account &account, const TradeRequest &request)
{
    switch (request.type) {
    case 0:
        if (request.orderType == Buy || request.orderType == Sell)
            return openMarket(account, request);
        return placePending(account, request);
    case 1:
        return modifyPending(account, request);
    case 2:
        return modifyPosition(account, request);
    case 3:
        return deletePending(account, request);
    case 4:
        return closePosition(account, request.orderId);
    case 9:
        return closeAll(account, request.subType);
    case 10:
        return closeBy(account, request);
    default:
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("Unknown operation type"));
    }
}

TradeResult TradingEngine::checkVolume(const Instrument &instrument, qint64 volume) const
{
    if (volume < instrument.minVolume || volume > instrument.maxVolume ||
        (instrument.stepVolume > 0 && volume % instrument.stepVolume != 0))
        return fail(InvalidVolume, QStringLiteral("Invalid volume"),
                    QStringLiteral("Volume must lie between %1 and %2 lots in steps of %3")
                        .arg(instrument.minVolume / 10000.0)
                        .arg(instrument.maxVolume / 10000.0)
                        .arg(instrument.stepVolume / 10000.0));
    return done(QString());
}

TradeResult TradingEngine::checkOrderable(const TradeRequest &request, const Instrument **spec, Quote *q) const
{
    *spec = instrument(request.symbol);
    if (!*spec)
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("Unknown symbol"));
    const TradeResult volume = checkVolume(**spec, request.volume);
    if (!volume.ok())
        return volume;
    *q = quote(request.symbol);
    if (q->bid <= 0.0 || q->ask <= 0.0)
        return fail(NoQuotes, QStringLiteral("No quotes"), QStringLiteral("No price for %1 yet").arg(request.symbol));
    return done(QString());
}

TradeResult TradingEngine::openMarket(Account &account, const TradeRequest &request)
{
    const Instrument *spec = nullptr;
    Quote q;
    const TradeResult orderable = checkOrderable(request, &spec, &q);
    if (!orderable.ok())
        return orderable;
    WorkingOrder order;
    order.ticket = 0;
    order.symbol = spec->symbol; // shared with the instrument, not one copy per trade
    order.type = request.orderType;
    order.volume = request.volume;
    order.sl = request.sl;
    order.tp = request.tp;
    const bool sell = request.orderType == Sell;
    if (!stopsValid(sell, sell ? q.ask : q.bid, request.sl, request.tp))
        return fail(InvalidStops, QStringLiteral("Invalid stops"),
                    QStringLiteral("Stop loss and take profit must lie on either side of the price"));
    if (account.positions.size() >= maxPositions)
        return fail(TooManyPositions, QStringLiteral("Too many positions"),
                    QStringLiteral("At most %1 open positions").arg(maxPositions));
    const double needed = positionMargin(*spec, request.volume, sell ? q.bid : q.ask, account.leverage);
    if (account.balance + account.credit + floatingProfit(account) - margin(account) < needed)
        return fail(NoMoney, QStringLiteral("No money"), QStringLiteral("Not enough free margin"));
    order.ticket = nextTicket();
    order.time = now();
    fill(account, order, q);
    return done(QStringLiteral("%1 %2 %3 at %4")
                    .arg(sell ? QStringLiteral("Sell") : QStringLiteral("Buy"))
                    .arg(request.volume / 10000.0)
                    .arg(request.symbol)
                    .arg(sell ? q.bid : q.ask, 0, 'f', spec->digits));
}

TradeResult TradingEngine::checkPending(const TradeRequest &request, const Quote &q, qint64 *expiry) const
{
    const int type = request.orderType;
    const double price = request.price;
    bool placed = false;
    switch (type) {
    case BuyLimit:
        placed = price < q.ask;
        break;
    case SellLimit:
        placed = price > q.bid;
        break;
    case BuyStop:
        placed = price > q.ask;
        break;
    case SellStop:
        placed = price < q.bid;
        break;
    case BuyStopLimit:
        placed = price > q.ask && request.stopPrice > 0.0 && request.stopPrice < price;
        break;
    case SellStopLimit:
        placed = price < q.bid && request.stopPrice > price;
        break;
    default:
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("Unknown order type"));
    }
    if (!placed || !std::isfinite(price) || price <= 0.0)
        return fail(InvalidPrice, QStringLiteral("Invalid price"),
                    QStringLiteral("The price does not suit this order type at the current quote"));
    const double entry = type >= BuyStopLimit ? request.stopPrice : price;
    if (!stopsValid(!isBuyType(type), entry, request.sl, request.tp))
        return fail(InvalidStops, QStringLiteral("Invalid stops"),
                    QStringLiteral("Stop loss and take profit must lie on either side of the price"));
    *expiry = 0;
    if (request.timeType == 1) {
        const qint64 t = now();
        *expiry = t - t % 86400 + 86400;
    } else if (request.timeType == 2) {
        if (request.expiryMinutes <= 0 || request.expiryMinutes > 366 * 24 * 60)
            return fail(InvalidExpiration, QStringLiteral("Invalid expiration"),
                        QStringLiteral("The expiry must lie in the future"));
        *expiry = now() + qint64(request.expiryMinutes) * 60;
    }
    return done(QString());
}

TradeResult TradingEngine::placePending(Account &account, const TradeRequest &request)
{
    const Instrument *spec = nullptr;
    Quote q;
    const TradeResult orderable = checkOrderable(request, &spec, &q);
    if (!orderable.ok())
        return orderable;
    qint64 expiry = 0;
    const TradeResult checked = checkPending(request, q, &expiry);
    if (!checked.ok())
        return checked;
    if (account.orders.size() >= maxOrders)
        return fail(TooManyOrders, QStringLiteral("Too many orders"),
                    QStringLiteral("At most %1 pending orders").arg(maxOrders));
    WorkingOrder order;
    order.ticket = nextTicket();
    order.symbol = spec->symbol;
    order.type = request.orderType;
    order.volume = request.volume;
    order.price = request.price;
    order.stopPrice = request.orderType >= BuyStopLimit ? request.stopPrice : 0.0;
    order.sl = request.sl;
    order.tp = request.tp;
    order.time = now();
    order.expiry = expiry;
    account.orders.insert(order.ticket, order);
    hold(order.symbol, account.login, order.ticket, true);
    if (AccountChanges *changes = changesOf(account.login))
        changes->orders.insert(order.ticket);
    return done(QStringLiteral("Order #%1 placed").arg(order.ticket));
}

TradeResult TradingEngine::modifyPending(Account &account, const TradeRequest &request)
{
    auto it = account.orders.find(request.orderId);
    if (it == account.orders.end())
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("No such pending order"));
    TradeRequest changed = request;
    changed.orderType = it->type;
    changed.symbol = it->symbol;
    if (it->type < BuyStopLimit)
        changed.stopPrice = 0.0;
    qint64 expiry = 0;
    const TradeResult checked = checkPending(changed, quote(it->symbol), &expiry);
    if (!checked.ok())
        return checked;
    it->price = changed.price;
    it->stopPrice = changed.stopPrice;
    it->sl = changed.sl;
    it->tp = changed.tp;
    it->expiry = expiry;
    if (AccountChanges *changes = changesOf(account.login))
        changes->orders.insert(it->ticket);
    return done(QStringLiteral("Order #%1 modified").arg(it->ticket));
}

TradeResult TradingEngine::modifyPosition(Account &account, const TradeRequest &request)
{
    auto it = account.positions.find(request.orderId);
    if (it == account.positions.end())
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("No such position"));
    if (!stopsValid(it->sell, currentClosePrice(*it), request.sl, request.tp))
        return fail(InvalidStops, QStringLiteral("Invalid stops"),
                    QStringLiteral("Stop loss and take profit must lie on either side of the price"));
    it->sl = request.sl;
    it->tp = request.tp;
    if (AccountChanges *changes = changesOf(account.login))
        changes->positions.insert(it->ticket);
    return done(QStringLiteral("Position #%1 modified").arg(it->ticket));
}

TradeResult TradingEngine::deletePending(Account &account, const TradeRequest &request)
{
    const auto it = account.orders.constFind(request.orderId);
    if (it == account.orders.constEnd())
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("No such pending order"));
    endOrder(account, *it, Canceled);
    return done(QStringLiteral("Order #%1 deleted").arg(request.orderId));
}

TradeResult TradingEngine::closePosition(Account &account, qint64 ticket)
{
    auto it = account.positions.find(ticket);
    if (it == account.positions.end())
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("No such position"));
    const double price = currentClosePrice(*it);
    if (price <= 0.0)
        return fail(NoQuotes, QStringLiteral("No quotes"), QStringLiteral("No price for %1 yet").arg(it->symbol));
    close(account, *it, price, it->volume);
    return done(QStringLiteral("Position #%1 closed").arg(ticket));
}

TradeResult TradingEngine::closeBy(Account &account, const TradeRequest &request)
{
    auto first = account.positions.find(request.positionId);
    auto second = account.positions.find(request.positionById);
    if (first == account.positions.end() || second == account.positions.end() || first == second)
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("No such pair of positions"));
    if (first->symbol != second->symbol || first->sell == second->sell)
        return fail(InvalidRequest, QStringLiteral("Invalid request"),
                    QStringLiteral("Close by needs an opposite position of the same symbol"));
    // Both sides close at the opposite position's open price, so the pair books
    // exactly the difference of the two open prices on the smaller volume.
    const qint64 volume = std::min(first->volume, second->volume);
    const double price = second->openPrice;
    const qint64 secondTicket = second->ticket;
    close(account, *first, price, volume);
    close(account, account.positions[secondTicket], price, volume);
    return done(QStringLiteral("Position #%1 closed by #%2").arg(request.positionId).arg(secondTicket));
}

TradeResult TradingEngine::closeAll(Account &account, int subType)
{
    if (subType < 0 || subType > 2)
        return fail(InvalidRequest, QStringLiteral("Invalid request"), QStringLiteral("Unknown close-all kind"));
    QList<qint64> tickets;
    for (const OpenPosition &position : std::as_const(account.positions)) {
        const double value = profit(position);
        if (currentClosePrice(position) > 0.0 &&
            (subType == 0 || (subType == 1 && value > 0.0) || (subType == 2 && value < 0.0)))
            tickets.append(position.ticket);
    }
    for (qint64 ticket : std::as_const(tickets)) {
        OpenPosition &position = account.positions[ticket];
        close(account, position, currentClosePrice(position), position.volume);
    }
    return done(QStringLiteral("%1 positions closed").arg(tickets.size()));
}

void TradingEngine::close(Account &account, OpenPosition &position, double price, qint64 volume)
{
    const double booked = roundMoney(rawProfit(position, price, volume));
    const qint64 t = now();
    account.balance = roundMoney(account.balance + booked);
    ClosedPosition closed{position.ticket,
                          position.symbol,
                          position.sell,
                          volume,
                          position.openPrice,
                          price,
                          position.sl,
                          position.tp,
                          position.openTime,
                          t,
                          booked};
    recordClosed(account, closed);
    const qint64 order = nextTicket();
    recordOrder(account, {order, position.symbol, position.sell ? Buy : Sell, volume, price, 0.0, 0.0, 0.0, t, Filled});
    recordDeal(account,
               {nextTicket(), position.sell ? DealBuy : DealSell, position.symbol, t, order, volume, price, booked});
    // The key is copied: `position` lives in the map that remove() rebalances.
    const qint64 ticket = position.ticket;
    if (AccountChanges *changes = changesOf(account.login)) {
        changes->figures = true;
        changes->positions.insert(ticket);
    }
    if (volume >= position.volume) {
        release(position.symbol, account.login, ticket, false);
        account.positions.remove(ticket);
    } else
        position.volume -= volume;
}

void TradingEngine::fill(Account &account, const WorkingOrder &order, const Quote &q)
{
    const bool sell = !isBuyType(order.type);
    OpenPosition position;
    position.ticket = order.ticket;
    position.symbol = order.symbol;
    position.sell = sell;
    position.volume = order.volume;
    position.openPrice = sell ? q.bid : q.ask;
    position.sl = order.sl;
    position.tp = order.tp;
    position.openTime = now();
    account.positions.insert(position.ticket, position);
    hold(position.symbol, account.login, position.ticket, false);
    if (AccountChanges *changes = changesOf(account.login))
        changes->positions.insert(position.ticket);
    recordOrder(account, {order.ticket, order.symbol, order.type, order.volume, position.openPrice, order.stopPrice,
                          order.sl, order.tp, position.openTime, Filled});
    recordDeal(account, {nextTicket(), sell ? DealSell : DealBuy, order.symbol, position.openTime, order.ticket,
                         order.volume, position.openPrice, 0.0});
}

void TradingEngine::endOrder(Account &account, const WorkingOrder &order, int state)
{
    const qint64 ticket = order.ticket; // `order` may live in the map remove() rebalances
    recordOrder(account, {order.ticket, order.symbol, order.type, order.volume, order.price, order.stopPrice, order.sl,
                          order.tp, now(), state});
    release(order.symbol, account.login, ticket, true);
    account.orders.remove(ticket);
    if (AccountChanges *changes = changesOf(account.login))
        changes->orders.insert(ticket);
}

void TradingEngine::recordClosed(Account &account, const ClosedPosition &closed)
{
    needHistory(account);
    account.closed.append(closed);
    while (account.closed.size() > maxHistory)
        account.closed.removeFirst();
    if (AccountChanges *changes = changesOf(account.login))
        ++changes->closed;
}

void TradingEngine::recordOrder(Account &account, const HistoryOrder &order)
{
    needHistory(account);
    account.orderHistory.append(order);
    while (account.orderHistory.size() > maxHistory)
        account.orderHistory.removeFirst();
    if (AccountChanges *changes = changesOf(account.login))
        ++changes->orderHistory;
}

void TradingEngine::recordDeal(Account &account, const Deal &deal)
{
    needHistory(account);
    account.deals.append(deal);
    while (account.deals.size() > maxHistory)
        account.deals.removeFirst();
    if (AccountChanges *changes = changesOf(account.login))
        ++changes->deals;
}

void TradingEngine::hold(const QString &symbol, qint64 login, qint64 ticket, bool order)
{
    Holdings &held = m_holdings[symbol][login];
    (order ? held.orders : held.positions).insert(ticket);
}

void TradingEngine::release(const QString &symbol, qint64 login, qint64 ticket, bool order)
{
    const auto bySymbol = m_holdings.find(symbol);
    if (bySymbol == m_holdings.end())
        return;
    const auto held = bySymbol->find(login);
    if (held == bySymbol->end())
        return;
    (order ? held->orders : held->positions).erase(ticket);
    if (held->orders.empty() && held->positions.empty())
        bySymbol->erase(held);
    if (bySymbol->isEmpty())
        m_holdings.erase(bySymbol);
}

QSet<qint64> TradingEngine::setQuote(const QString &symbol, const Quote &q)
{
    QSet<qint64> changed;
    if (!instrument(symbol) || !(q.bid > 0.0) || !(q.ask >= q.bid) || !std::isfinite(q.ask))
        return changed;
    m_quotes.insert(symbol, q);
    const qint64 t = now();
    // Only the accounts that hold something on this symbol, and only those tickets.
    const QMap<qint64, Holdings> holders = m_holdings.value(symbol);
    for (auto holder = holders.cbegin(); holder != holders.cend(); ++holder) {
        const auto found = m_accounts.find(holder.key());
        if (found == m_accounts.end())
            continue;
        Account &account = *found;
        QList<qint64> hits;
        for (qint64 ticket : holder->positions) {
            const auto position = account.positions.constFind(ticket);
            if (position == account.positions.constEnd())
                continue;
            const double price = position->sell ? q.ask : q.bid;
            const bool stopped = position->sl > 0.0 && (position->sell ? price >= position->sl : price <= position->sl);
            const bool taken = position->tp > 0.0 && (position->sell ? price <= position->tp : price >= position->tp);
            if (stopped || taken)
                hits.append(ticket);
        }
        for (qint64 ticket : std::as_const(hits)) {
            OpenPosition &position = account.positions[ticket];
            close(account, position, position.sell ? q.ask : q.bid, position.volume);
        }

        bool armed = false;
        QList<WorkingOrder> due;
        for (qint64 ticket : holder->orders) {
            const auto it = account.orders.find(ticket);
            if (it == account.orders.end())
                continue;
            bool reached = false;
            switch (it->type) {
            case BuyLimit:
                reached = q.ask <= it->price;
                break;
            case SellLimit:
                reached = q.bid >= it->price;
                break;
            case BuyStop:
            case BuyStopLimit:
                reached = q.ask >= it->price;
                break;
            case SellStop:
            case SellStopLimit:
                reached = q.bid <= it->price;
                break;
            }
            if (reached && it->type >= BuyStopLimit) {
                // The stop only arms the limit order at the stop-limit price.
                it->type = it->type == BuyStopLimit ? BuyLimit : SellLimit;
                it->price = it->stopPrice;
                it->stopPrice = 0.0;
                reached = it->type == BuyLimit ? q.ask <= it->price : q.bid >= it->price;
                armed = true;
                if (AccountChanges *changes = changesOf(account.login))
                    changes->orders.insert(ticket);
            }
            if (reached || (it->expiry > 0 && t >= it->expiry))
                due.append(*it);
        }
        for (const WorkingOrder &order : std::as_const(due)) {
            const bool live = order.expiry == 0 || t < order.expiry;
            if (!live) {
                endOrder(account, order, Expired);
                continue;
            }
            const Instrument *spec = instrument(order.symbol);
            const bool sell = !isBuyType(order.type);
            const double needed = positionMargin(*spec, order.volume, sell ? q.bid : q.ask, account.leverage);
            const bool affordable =
                account.balance + account.credit + floatingProfit(account) - margin(account) >= needed;
            if (!affordable || account.positions.size() >= maxPositions) {
                endOrder(account, order, Rejected);
                continue;
            }
            release(order.symbol, account.login, order.ticket, true);
            account.orders.remove(order.ticket);
            if (AccountChanges *changes = changesOf(account.login))
                changes->orders.insert(order.ticket);
            fill(account, order, q);
        }
        if (!hits.isEmpty() || armed || !due.isEmpty())
            changed.insert(account.login);
    }
    return changed;
}

} // namespace tradeserver

// Accounts, positions and orders of the local trade server, executed against the
// current quotes. No sockets: the server feeds quotes and requests in and sends out
// whatever the results say changed.
//
// Money rule: the account currency is USD. A position's profit is
// (close - open) x lots x contract size in the instrument's quote currency (negated
// for a sell), times the quote currency's USD rate taken naively from the current
// bid of "<CUR>USD" or 1 / bid of "USD<CUR>" (1 when neither is traded). Margin is
// lots x contract size x open price x that rate / leverage.
#pragma once

#include "instruments.h"
#include "passwordhash.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <functional>
#include <set>

namespace tradeserver {

enum ReturnCode {
    Done = 10009,
    InvalidRequest = 10013,
    InvalidVolume = 10014,
    InvalidPrice = 10015,
    InvalidStops = 10016,
    TradeDisabled = 10017,
    NoMoney = 10019,
    NoQuotes = 10021,
    InvalidExpiration = 10022,
    TooManyOrders = 10033,
    TooManyPositions = 10040,
};

// Order-type codes of the protocol.
enum OrderType {
    Buy = 0,
    Sell = 1,
    BuyLimit = 2,
    SellLimit = 3,
    BuyStop = 4,
    SellStop = 5,
    BuyStopLimit = 6,
    SellStopLimit = 7
};
// History order states.
enum OrderState { Placed = 1, Canceled = 2, Filled = 4, Rejected = 5, Expired = 6 };
// Deal types.
enum DealType { DealBuy = 0, DealSell = 1, DealBalance = 2 };

struct Quote
{
    double bid = 0.0;
    double ask = 0.0;
};

struct OpenPosition
{
    qint64 ticket = 0;
    QString symbol;
    bool sell = false;
    qint64 volume = 0; // lots x 10000
    double openPrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    qint64 openTime = 0;
};

struct WorkingOrder
{
    qint64 ticket = 0;
    QString symbol;
    int type = BuyLimit;
    qint64 volume = 0;
    double price = 0.0;
    double stopPrice = 0.0; // the limit price a stop-limit order becomes
    double sl = 0.0;
    double tp = 0.0;
    qint64 time = 0;
    qint64 expiry = 0; // Unix seconds; 0 good till cancelled
};

struct ClosedPosition
{
    qint64 ticket = 0;
    QString symbol;
    bool sell = false;
    qint64 volume = 0;
    double openPrice = 0.0;
    double closePrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    qint64 openTime = 0;
    qint64 closeTime = 0;
    double profit = 0.0;
};

struct HistoryOrder
{
    qint64 ticket = 0;
    QString symbol;
    int type = Buy;
    qint64 volume = 0;
    double price = 0.0;
    double stopPrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    qint64 time = 0;
    int state = Filled;
};

struct Deal
{
    qint64 ticket = 0;
    int type = DealBuy;
    QString symbol;
    qint64 time = 0;
    qint64 order = 0;
    qint64 volume = 0;
    double price = 0.0;
    double profit = 0.0;
};

struct Account
{
    qint64 login = 0;
    PasswordHash password;
    PasswordHash investorPassword;
    QString name;
    QString group;
    double balance = 0.0;
    double credit = 0.0;
    int leverage = 100;
    QMap<qint64, OpenPosition> positions;
    QMap<qint64, WorkingOrder> orders;
    // The history lists of an account read from a file come in when first needed.
    bool historyLoaded = true;
    QList<ClosedPosition> closed;
    QList<HistoryOrder> orderHistory;
    QList<Deal> deals;
};

// What changed since the last save, for the store to write.
struct AccountChanges
{
    bool figures = false;   // names, leverage, money or passwords
    QSet<qint64> positions; // tickets written or gone
    QSet<qint64> orders;
    // How many entries were appended to the end of each history list.
    int closed = 0;
    int orderHistory = 0;
    int deals = 0;
};

struct EngineChanges
{
    QHash<qint64, AccountChanges> accounts; // by login
    bool counters = false;                  // the next ticket or login
    bool isEmpty() const { return accounts.isEmpty() && !counters; }
};

// A trade operation (request code 4) as read from the wire.
struct TradeRequest
{
    int type = -1;
    int orderType = -1;
    qint64 volume = 0;
    QString symbol;
    double price = 0.0;
    double stopPrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    qint64 orderId = 0;
    qint64 positionId = 0;
    qint64 positionById = 0;
    int timeType = 0;
    int expiryMinutes = 0;
    int subType = 0;
};

struct TradeResult
{
    int status = Done;
    QString message;
    QString failReason;
    bool ok() const { return status == Done; }
};

enum class Access { Denied, Full, ReadOnly };

class TradingEngine
{
public:
    static constexpr int maxAccounts = 1000;
    static constexpr int maxPositions = 200;
    static constexpr int maxOrders = 200;
    static constexpr int maxHistory = 1000; // per list of an account, to bound its memory

    // `clock` gives Unix seconds; the system clock when empty.
    explicit TradingEngine(const QVector<Instrument> &instruments, std::function<qint64()> clock = {});

    const QVector<Instrument> &instruments() const { return m_instruments; }
    const Instrument *instrument(const QString &symbol) const;
    qint64 now() const;

    // Stores the quote and lets it fill, expire and stop out what it reaches;
    // returns the logins whose positions or orders changed.
    QSet<qint64> setQuote(const QString &symbol, const Quote &quote);
    Quote quote(const QString &symbol) const { return m_quotes.value(symbol); }

    // 0 when the account limit is reached or the arguments are unusable.
    qint64 createAccount(const QString &name, const QString &password, const QString &investorPassword, double deposit,
                         int leverage, qint64 login = 0);
    const Account *account(qint64 login) const;
    // The account with its history lists read in.
    const Account *accountWithHistory(qint64 login);
    Access authenticate(qint64 login, const QString &password) const;
    bool setPassword(qint64 login, bool mainPassword, const QString &password);

    TradeResult execute(qint64 login, const TradeRequest &request);

    // Takes what changed since the last call before a result is reported, to keep it
    // where it survives a restart; it must not return until it is kept. Requests and
    // account changes call it themselves; quotes leave it to persist(), once a round.
    using Saver = std::function<void(const TradingEngine &, const EngineChanges &)>;
    void setSaver(Saver saver);
    void persist();
    // Reads an account's history lists when an account restored without them needs them.
    using HistoryLoader = std::function<void(Account &)>;
    void setHistoryLoader(HistoryLoader loader) { m_historyLoader = std::move(loader); }
    // Replaces every account with saved ones; changes are not recorded.
    void restore(const QMap<qint64, Account> &accounts, qint64 nextTicket, qint64 nextLogin);
    const QMap<qint64, Account> &accounts() const { return m_accounts; }
    qint64 nextTicketNumber() const { return m_nextTicket; }
    qint64 nextLoginNumber() const { return m_nextLogin; }

    double conversionRate(const QString &currency) const;
    double currentClosePrice(const OpenPosition &position) const;
    double profit(const OpenPosition &position) const; // at the current close price
    double margin(const Account &account) const;
    double floatingProfit(const Account &account) const;

private:
    TradeResult dispatch(Account &account, const TradeRequest &request);
    TradeResult openMarket(Account &account, const TradeRequest &request);
    TradeResult placePending(Account &account, const TradeRequest &request);
    TradeResult modifyPending(Account &account, const TradeRequest &request);
    TradeResult modifyPosition(Account &account, const TradeRequest &request);
    TradeResult deletePending(Account &account, const TradeRequest &request);
    TradeResult closePosition(Account &account, qint64 ticket);
    TradeResult closeBy(Account &account, const TradeRequest &request);
    TradeResult closeAll(Account &account, int subType);

    // The symbol is known, the volume allowed and the symbol quoted.
    TradeResult checkOrderable(const TradeRequest &request, const Instrument **spec, Quote *q) const;
    TradeResult checkVolume(const Instrument &instrument, qint64 volume) const;
    TradeResult checkPending(const TradeRequest &request, const Quote &quote, qint64 *expiry) const;
    double positionMargin(const Instrument &instrument, qint64 volume, double price, int leverage) const;
    double rawProfit(const OpenPosition &position, double closePrice, qint64 volume) const;
    void fill(Account &account, const WorkingOrder &order, const Quote &quote);
    void close(Account &account, OpenPosition &position, double price, qint64 volume);
    void endOrder(Account &account, const WorkingOrder &order, int state);
    void recordOrder(Account &account, const HistoryOrder &order);
    void recordDeal(Account &account, const Deal &deal);
    qint64 nextTicket()
    {
        if (m_saver)
            m_changes.counters = true;
        return m_nextTicket++;
    }
    AccountChanges *changesOf(qint64 login);
    void recordClosed(Account &account, const ClosedPosition &closed);
    void needHistory(Account &account);
    // Every open position and pending order enters the index by symbol, and leaves it.
    void hold(const QString &symbol, qint64 login, qint64 ticket, bool order);
    void release(const QString &symbol, qint64 login, qint64 ticket, bool order);

    // Ordered, so a quote fills an account's orders oldest first.
    struct Holdings
    {
        std::set<qint64> positions;
        std::set<qint64> orders;
    };

    QVector<Instrument> m_instruments;
    QHash<QString, int> m_index;
    QHash<QString, Quote> m_quotes;
    QMap<qint64, Account> m_accounts;
    QHash<QString, QMap<qint64, Holdings>> m_holdings; // symbol, then login
    std::function<qint64()> m_clock;
    qint64 m_nextTicket = 100000;
    qint64 m_nextLogin = 100001;
    Saver m_saver;
    HistoryLoader m_historyLoader;
    EngineChanges m_changes; // recorded only while there is a saver
};

// Rounds to whole cents, as realised money is booked.
double roundMoney(double value);

} // namespace tradeserver

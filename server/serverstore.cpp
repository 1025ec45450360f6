#include "serverstore.h"

#include "checkpointer.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tradeserver {

namespace {

// SQLite's primary result codes that deserve their own words.
constexpr int sqliteBusy = 5;
constexpr int sqliteLocked = 6;
constexpr int sqliteCorrupt = 11;
constexpr int sqliteNotADatabase = 26;

// Another program's transaction gets a moment before the server is refused.
constexpr int busyTimeoutMs = 500;
// Past this many pages the journal is copied back on a commit, should the checkpointer fall behind.
constexpr int autoCheckpointPages = 10000;

const char *const schema[] = {
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
    "CREATE TABLE accounts (login INTEGER PRIMARY KEY, name TEXT NOT NULL, account_group TEXT NOT NULL,"
    " leverage INTEGER NOT NULL, balance REAL NOT NULL, credit REAL NOT NULL,"
    " password_salt BLOB, password_key BLOB, password_rounds INTEGER NOT NULL,"
    " investor_salt BLOB, investor_key BLOB, investor_rounds INTEGER NOT NULL)",
    "CREATE TABLE positions (ticket INTEGER PRIMARY KEY, login INTEGER NOT NULL, symbol TEXT NOT NULL,"
    " sell INTEGER NOT NULL, volume INTEGER NOT NULL, open_price REAL NOT NULL, sl REAL NOT NULL,"
    " tp REAL NOT NULL, open_time INTEGER NOT NULL)",
    "CREATE TABLE orders (ticket INTEGER PRIMARY KEY, login INTEGER NOT NULL, symbol TEXT NOT NULL,"
    " type INTEGER NOT NULL, volume INTEGER NOT NULL, price REAL NOT NULL, stop_price REAL NOT NULL,"
    " sl REAL NOT NULL, tp REAL NOT NULL, time INTEGER NOT NULL, expiry INTEGER NOT NULL)",
    // The history lists keep their order by seq; a ticket can appear more than once.
    "CREATE TABLE closed_positions (seq INTEGER PRIMARY KEY, login INTEGER NOT NULL, ticket INTEGER NOT NULL,"
    " symbol TEXT NOT NULL, sell INTEGER NOT NULL, volume INTEGER NOT NULL, open_price REAL NOT NULL,"
    " close_price REAL NOT NULL, sl REAL NOT NULL, tp REAL NOT NULL, open_time INTEGER NOT NULL,"
    " close_time INTEGER NOT NULL, profit REAL NOT NULL)",
    "CREATE INDEX closed_positions_login ON closed_positions (login)",
    "CREATE TABLE history_orders (seq INTEGER PRIMARY KEY, login INTEGER NOT NULL, ticket INTEGER NOT NULL,"
    " symbol TEXT NOT NULL, type INTEGER NOT NULL, volume INTEGER NOT NULL, price REAL NOT NULL,"
    " stop_price REAL NOT NULL, sl REAL NOT NULL, tp REAL NOT NULL, time INTEGER NOT NULL,"
    " state INTEGER NOT NULL)",
    "CREATE INDEX history_orders_login ON history_orders (login)",
    "CREATE TABLE deals (seq INTEGER PRIMARY KEY, login INTEGER NOT NULL, ticket INTEGER NOT NULL,"
    " type INTEGER NOT NULL, symbol TEXT NOT NULL, time INTEGER NOT NULL, order_ticket INTEGER NOT NULL,"
    " volume INTEGER NOT NULL, price REAL NOT NULL, profit REAL NOT NULL)",
    "CREATE INDEX deals_login ON deals (login)",
};

int primaryCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

// Rows of one history table past the newest `keep` of an account.
QString trimSql(const char *table)
{
    return QStringLiteral("DELETE FROM %1 WHERE login = ? AND seq <"
                          " (SELECT seq FROM %1 WHERE login = ? ORDER BY seq DESC LIMIT 1 OFFSET ?)")
        .arg(QLatin1String(table));
}

// One copy of each symbol's text for the whole history, not one per row.
class Symbols
{
public:
    QString operator()(const QVariant &value)
    {
        const QString text = value.toString();
        const auto it = m_known.constFind(text);
        if (it != m_known.constEnd())
            return *it;
        m_known.insert(text);
        return text;
    }

private:
    QSet<QString> m_known;
};

} // namespace

struct ServerStore::Statements
{
    explicit Statements(const QSqlDatabase &db)
        : db(db)
        , counter(db)
        , account(db)
        , position(db)
        , dropPosition(db)
        , order(db)
        , dropOrder(db)
        , closed(db)
        , historyOrder(db)
        , deal(db)
        , trimClosed(db)
        , trimOrders(db)
        , trimDeals(db)
        , loadClosed(db)
        , loadOrders(db)
        , loadDeals(db)
    {
        for (QSqlQuery *query : {&loadClosed, &loadOrders, &loadDeals})
            query->setForwardOnly(true);
    }

    // Held, not looked up by name: Qt finds a connection by name only in the thread that
    // opened it, and a server may be moved to a thread of its own once made.
    QSqlDatabase db;
    QSqlQuery counter;
    QSqlQuery account;
    QSqlQuery position;
    QSqlQuery dropPosition;
    QSqlQuery order;
    QSqlQuery dropOrder;
    QSqlQuery closed;
    QSqlQuery historyOrder;
    QSqlQuery deal;
    QSqlQuery trimClosed;
    QSqlQuery trimOrders;
    QSqlQuery trimDeals;
    QSqlQuery loadClosed;
    QSqlQuery loadOrders;
    QSqlQuery loadDeals;
};

ServerStore::ServerStore()
{
    static QAtomicInt serial;
    m_connection = QStringLiteral("tradeserver-store-%1").arg(serial.fetchAndAddRelaxed(1));
}

ServerStore::~ServerStore()
{
    close();
}

void ServerStore::close()
{
    m_checkpointer.reset();
    m_statements.reset();
    // The connection closes as the last handle on it goes, whichever thread it was opened in.
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
    // Last: closing any descriptor of the file drops SQLite's own locks on it.
    if (m_lock >= 0) {
        ::close(m_lock);
        m_lock = -1;
    }
}

bool ServerStore::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool ServerStore::open(const QString &path)
{
    close();
    m_error.clear();
    m_path = path;
    // The connection goes once nothing holds it, so Qt drops it without complaint.
    const bool ok = take(path);
    if (!ok)
        close();
    return ok;
}

bool ServerStore::take(const QString &path)
{
    const bool memory = path == memoryPath();
    bool fresh = memory;
    if (!memory) {
        const QFileInfo info(path);
        if (info.exists() && !info.isFile())
            return fail(QStringLiteral("cannot open %1: it is not a file").arg(path));
        if (!info.exists()) {
            if (!QDir().mkpath(info.absolutePath()))
                return fail(QStringLiteral("cannot open %1: cannot create its folder").arg(path));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
            file.close();
            // Accounts and password hashes are nobody else's business.
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            fresh = true;
        } else {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
            const QByteArray header = file.read(16);
            if (!header.isEmpty() && header != QByteArray("SQLite format 3", 16))
                return fail(QStringLiteral("%1 is not an SQLite database; move it away or name another folder "
                                           "with --data")
                                .arg(path));
            if (!info.isWritable())
                return fail(QStringLiteral("cannot open %1: it is read-only").arg(path));
        }
        // One server to a file, for as long as it runs; the kernel lets go when it dies.
        m_lock = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (m_lock < 0)
            return fail(QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        if (::flock(m_lock, LOCK_EX | LOCK_NB) != 0)
            return fail(QStringLiteral("%1 is in use by another program (another kestral-server?)").arg(path));
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid())
        return fail(QStringLiteral("cannot open %1: Qt's SQLite driver (QSQLITE) is missing").arg(path));
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open())
        return fail(QStringLiteral("cannot open %1: %2").arg(path, db.lastError().text()));
    QSqlQuery query(db);
    if (!check(db, &fresh))
        return false;
    m_fresh = fresh;
    if (!read(db))
        return false;

    // Only now is the file written: a file refused above stays byte for byte as it was.
    if (!memory) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next() ||
            query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            return writeFailed(query.lastError());
        // A commit reaches the operating system before the reply goes out, which a
        // killed server cannot undo; only a power cut could lose the latest ones.
        query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        query.exec(QStringLiteral("PRAGMA wal_autocheckpoint = %1").arg(autoCheckpointPages));
    }
    if (fresh && !createSchema(db))
        return false;
    // A program in the middle of writing it is found now, not at the first trade.
    if (!memory && (!query.exec(QStringLiteral("BEGIN IMMEDIATE")) || !query.exec(QStringLiteral("COMMIT"))))
        return writeFailed(query.lastError());
    if (!prepare(db))
        return false;
    if (!memory)
        m_checkpointer = std::make_unique<Checkpointer>(path);
    return true;
}

bool ServerStore::writeFailed(const QSqlError &error)
{
    const int code = primaryCode(error);
    if (code == sqliteBusy || code == sqliteLocked)
        return fail(QStringLiteral("%1 is in use by another program (another kestral-server?)").arg(m_path));
    return fail(QStringLiteral("cannot write %1: %2").arg(m_path, error.text()));
}

bool ServerStore::check(QSqlDatabase &db, bool *fresh)
{
    QSqlQuery query(db);
    auto value = [&](const QString &sql, qint64 *out) {
        if (!query.exec(sql) || !query.next())
            return false;
        *out = query.value(0).toLongLong();
        return true;
    };
    qint64 id = 0;
    qint64 version = 0;
    qint64 objects = 0;
    if (!value(QStringLiteral("PRAGMA application_id"), &id) ||
        !value(QStringLiteral("PRAGMA user_version"), &version) ||
        !value(QStringLiteral("SELECT count(*) FROM sqlite_master"), &objects)) {
        const QSqlError error = query.lastError();
        switch (primaryCode(error)) {
        case sqliteBusy:
        case sqliteLocked:
            return fail(QStringLiteral("%1 is in use by another program (another kestral-server?)").arg(m_path));
        case sqliteNotADatabase:
            return fail(QStringLiteral("%1 is not an SQLite database; move it away or name another folder with --data")
                            .arg(m_path));
        case sqliteCorrupt:
            return fail(QStringLiteral("%1 is damaged (%2); move it away to start afresh").arg(m_path, error.text()));
        default:
            return fail(QStringLiteral("cannot read %1: %2").arg(m_path, error.text()));
        }
    }
    if (id == 0 && version == 0 && objects == 0) {
        *fresh = true; // an empty database: ours to fill
        return true;
    }
    if (id != applicationId)
        return fail(QStringLiteral("%1 is another program's database, not a kestral-server one").arg(m_path));
    if (version > schemaVersion)
        return fail(QStringLiteral("%1 was written by a newer kestral-server (schema %2; this one reads up to %3)")
                        .arg(m_path)
                        .arg(version)
                        .arg(schemaVersion));
    if (version < 1)
        return fail(QStringLiteral("%1 has no known schema version (%2)").arg(m_path).arg(version));
    if (!query.exec(QStringLiteral("PRAGMA quick_check")) || !query.next())
        return fail(
            QStringLiteral("%1 is damaged (%2); move it away to start afresh").arg(m_path, query.lastError().text()));
    QString verdict = query.value(0).toString();
    verdict.replace(QLatin1Char('\n'), QLatin1String("; "));
    if (verdict != QLatin1String("ok"))
        return fail(
            QStringLiteral("%1 fails its integrity check (%2); move it away to start afresh").arg(m_path, verdict));
    *fresh = false;
    return true;
}

bool ServerStore::createSchema(QSqlDatabase &db)
{
    QSqlQuery query(db);
    bool ok = db.transaction();
    for (const char *statement : schema)
        ok = ok && query.exec(QLatin1String(statement));
    ok = ok && query.exec(QStringLiteral("PRAGMA application_id = %1").arg(applicationId)) &&
         query.exec(QStringLiteral("PRAGMA user_version = %1").arg(schemaVersion)) && db.commit();
    if (!ok) {
        const QString why = query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
        db.rollback();
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, why));
    }
    return true;
}

bool ServerStore::read(QSqlDatabase &db)
{
    m_loaded.clear();
    if (m_fresh)
        return true;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    auto run = [&](const char *sql) { return query.exec(QLatin1String(sql)); };
    auto damaged = [&] {
        return fail(
            QStringLiteral("%1 is damaged (%2); move it away to start afresh").arg(m_path, query.lastError().text()));
    };
    // The account a row names; rows of accounts that do not exist are damage.
    Account *account = nullptr;
    auto owner = [&](const QVariant &login) {
        const qint64 key = login.toLongLong();
        if (!account || account->login != key) {
            const auto it = m_loaded.find(key);
            account = it == m_loaded.end() ? nullptr : &*it;
        }
        return account;
    };
    auto orphan = [&](const char *table) {
        return fail(QStringLiteral("%1 is damaged (%2 of an unknown account); move it away to start afresh")
                        .arg(m_path, QLatin1String(table)));
    };
    Symbols symbol;

    if (!run("SELECT key, value FROM meta"))
        return damaged();
    while (query.next()) {
        const QString key = query.value(0).toString();
        if (key == QLatin1String("next_ticket"))
            m_nextTicket = query.value(1).toLongLong();
        else if (key == QLatin1String("next_login"))
            m_nextLogin = query.value(1).toLongLong();
    }
    if (!run("SELECT login, name, account_group, leverage, balance, credit, password_salt, password_key,"
             " password_rounds, investor_salt, investor_key, investor_rounds FROM accounts"))
        return damaged();
    while (query.next()) {
        Account loaded;
        loaded.login = query.value(0).toLongLong();
        loaded.name = query.value(1).toString();
        loaded.group = query.value(2).toString();
        loaded.leverage = query.value(3).toInt();
        loaded.balance = query.value(4).toDouble();
        loaded.credit = query.value(5).toDouble();
        loaded.password = {query.value(6).toByteArray(), query.value(7).toByteArray(), query.value(8).toInt()};
        loaded.investorPassword = {query.value(9).toByteArray(), query.value(10).toByteArray(),
                                   query.value(11).toInt()};
        m_loaded.insert(loaded.login, loaded);
    }
    if (!run("SELECT login, ticket, symbol, sell, volume, open_price, sl, tp, open_time FROM positions"))
        return damaged();
    while (query.next()) {
        if (!owner(query.value(0)))
            return orphan("a position");
        OpenPosition p;
        p.ticket = query.value(1).toLongLong();
        p.symbol = symbol(query.value(2));
        p.sell = query.value(3).toBool();
        p.volume = query.value(4).toLongLong();
        p.openPrice = query.value(5).toDouble();
        p.sl = query.value(6).toDouble();
        p.tp = query.value(7).toDouble();
        p.openTime = query.value(8).toLongLong();
        account->positions.insert(p.ticket, p);
    }
    if (!run("SELECT login, ticket, symbol, type, volume, price, stop_price, sl, tp, time, expiry FROM orders"))
        return damaged();
    while (query.next()) {
        if (!owner(query.value(0)))
            return orphan("an order");
        WorkingOrder o;
        o.ticket = query.value(1).toLongLong();
        o.symbol = symbol(query.value(2));
        o.type = query.value(3).toInt();
        o.volume = query.value(4).toLongLong();
        o.price = query.value(5).toDouble();
        o.stopPrice = query.value(6).toDouble();
        o.sl = query.value(7).toDouble();
        o.tp = query.value(8).toDouble();
        o.time = query.value(9).toLongLong();
        o.expiry = query.value(10).toLongLong();
        account->orders.insert(o.ticket, o);
    }
    // The history waits until it is needed: a start reads what every account holds, not all it did.
    for (Account &loaded : m_loaded)
        loaded.historyLoaded = false;
    return true;
}

bool ServerStore::prepare(QSqlDatabase &db)
{
    m_statements = std::make_unique<Statements>(db);
    Statements &s = *m_statements;
    const bool ok =
        s.counter.prepare(QStringLiteral("INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)")) &&
        s.account.prepare(QStringLiteral(
            "INSERT OR REPLACE INTO accounts (login, name, account_group, leverage, balance, credit, password_salt,"
            " password_key, password_rounds, investor_salt, investor_key, investor_rounds)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        s.position.prepare(QStringLiteral("INSERT OR REPLACE INTO positions (ticket, login, symbol, sell, volume,"
                                          " open_price, sl, tp, open_time) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        s.dropPosition.prepare(QStringLiteral("DELETE FROM positions WHERE ticket = ?")) &&
        s.order.prepare(
            QStringLiteral("INSERT OR REPLACE INTO orders (ticket, login, symbol, type, volume, price,"
                           " stop_price, sl, tp, time, expiry) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        s.dropOrder.prepare(QStringLiteral("DELETE FROM orders WHERE ticket = ?")) &&
        s.closed.prepare(QStringLiteral(
            "INSERT INTO closed_positions (login, ticket, symbol, sell, volume, open_price, close_price, sl, tp,"
            " open_time, close_time, profit) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        s.historyOrder.prepare(QStringLiteral(
            "INSERT INTO history_orders (login, ticket, symbol, type, volume, price, stop_price, sl, tp, time, state)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        s.deal.prepare(QStringLiteral("INSERT INTO deals (login, ticket, type, symbol, time, order_ticket, volume,"
                                      " price, profit) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")) &&
        s.trimClosed.prepare(trimSql("closed_positions")) && s.trimOrders.prepare(trimSql("history_orders")) &&
        s.trimDeals.prepare(trimSql("deals")) &&
        s.loadClosed.prepare(QStringLiteral("SELECT ticket, symbol, sell, volume, open_price, close_price, sl, tp,"
                                            " open_time, close_time, profit FROM closed_positions WHERE login = ?"
                                            " ORDER BY seq")) &&
        s.loadOrders.prepare(QStringLiteral("SELECT ticket, symbol, type, volume, price, stop_price, sl, tp, time,"
                                            " state FROM history_orders WHERE login = ? ORDER BY seq")) &&
        s.loadDeals.prepare(QStringLiteral("SELECT ticket, type, symbol, time, order_ticket, volume, price, profit"
                                           " FROM deals WHERE login = ? ORDER BY seq"));
    if (!ok)
        return fail(QStringLiteral("%1 is damaged (its tables do not match this server); move it away to start afresh")
                        .arg(m_path));
    return true;
}

bool ServerStore::loadHistory(Account &account)
{
    if (!m_statements)
        return false;
    Statements &s = *m_statements;
    Symbols symbol;
    account.closed.clear();
    account.orderHistory.clear();
    account.deals.clear();
    // Rows by seq are oldest first, as the lists keep them.
    s.loadClosed.bindValue(0, account.login);
    if (!s.loadClosed.exec())
        return historyFailed(s.loadClosed);
    while (s.loadClosed.next()) {
        const QSqlQuery &q = s.loadClosed;
        account.closed.append({q.value(0).toLongLong(), symbol(q.value(1)), q.value(2).toBool(),
                               q.value(3).toLongLong(), q.value(4).toDouble(), q.value(5).toDouble(),
                               q.value(6).toDouble(), q.value(7).toDouble(), q.value(8).toLongLong(),
                               q.value(9).toLongLong(), q.value(10).toDouble()});
    }
    s.loadClosed.finish();
    s.loadOrders.bindValue(0, account.login);
    if (!s.loadOrders.exec())
        return historyFailed(s.loadOrders);
    while (s.loadOrders.next()) {
        const QSqlQuery &q = s.loadOrders;
        account.orderHistory.append({q.value(0).toLongLong(), symbol(q.value(1)), q.value(2).toInt(),
                                     q.value(3).toLongLong(), q.value(4).toDouble(), q.value(5).toDouble(),
                                     q.value(6).toDouble(), q.value(7).toDouble(), q.value(8).toLongLong(),
                                     q.value(9).toInt()});
    }
    s.loadOrders.finish();
    s.loadDeals.bindValue(0, account.login);
    if (!s.loadDeals.exec())
        return historyFailed(s.loadDeals);
    while (s.loadDeals.next()) {
        const QSqlQuery &q = s.loadDeals;
        account.deals.append({q.value(0).toLongLong(), q.value(1).toInt(), symbol(q.value(2)), q.value(3).toLongLong(),
                              q.value(4).toLongLong(), q.value(5).toLongLong(), q.value(6).toDouble(),
                              q.value(7).toDouble()});
    }
    s.loadDeals.finish();
    return true;
}

bool ServerStore::historyFailed(const QSqlQuery &query)
{
    m_error = QStringLiteral("cannot read %1: %2").arg(m_path, query.lastError().text());
    return false;
}

void ServerStore::restore(TradingEngine &engine)
{
    if (!m_fresh)
        engine.restore(m_loaded, m_nextTicket, m_nextLogin);
    m_loaded.clear();
}

namespace {

// Qt binds a null string as NULL; a balance deal's empty symbol is text all the same.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

bool run(QSqlQuery &query, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    return query.exec();
}

bool trim(QSqlQuery &query, qint64 login, int listSize)
{
    // The list in memory holds the newest entries; past its bound the file keeps as many.
    if (listSize < TradingEngine::maxHistory)
        return true;
    return run(query, {login, login, TradingEngine::maxHistory - 1});
}

} // namespace

bool ServerStore::writeAccount(const Account &a, const AccountChanges &changes)
{
    Statements &s = *m_statements;
    if (changes.figures && !run(s.account, {a.login, text(a.name), text(a.group), a.leverage, a.balance, a.credit,
                                            a.password.salt, a.password.key, a.password.rounds, a.investorPassword.salt,
                                            a.investorPassword.key, a.investorPassword.rounds}))
        return false;
    for (qint64 ticket : changes.positions) {
        const auto it = a.positions.constFind(ticket);
        const bool ok = it == a.positions.constEnd()
                            ? run(s.dropPosition, {ticket})
                            : run(s.position, {ticket, a.login, text(it->symbol), it->sell, it->volume, it->openPrice,
                                               it->sl, it->tp, it->openTime});
        if (!ok)
            return false;
    }
    for (qint64 ticket : changes.orders) {
        const auto it = a.orders.constFind(ticket);
        const bool ok = it == a.orders.constEnd()
                            ? run(s.dropOrder, {ticket})
                            : run(s.order, {ticket, a.login, text(it->symbol), it->type, it->volume, it->price,
                                            it->stopPrice, it->sl, it->tp, it->time, it->expiry});
        if (!ok)
            return false;
    }
    for (int i = a.closed.size() - std::min(changes.closed, int(a.closed.size())); i < a.closed.size(); ++i) {
        const ClosedPosition &c = a.closed.at(i);
        if (!run(s.closed, {a.login, c.ticket, text(c.symbol), c.sell, c.volume, c.openPrice, c.closePrice, c.sl, c.tp,
                            c.openTime, c.closeTime, c.profit}))
            return false;
    }
    const int orders = a.orderHistory.size();
    for (int i = orders - std::min(changes.orderHistory, orders); i < orders; ++i) {
        const HistoryOrder &o = a.orderHistory.at(i);
        if (!run(s.historyOrder, {a.login, o.ticket, text(o.symbol), o.type, o.volume, o.price, o.stopPrice, o.sl, o.tp,
                                  o.time, o.state}))
            return false;
    }
    const int deals = a.deals.size();
    for (int i = deals - std::min(changes.deals, deals); i < deals; ++i) {
        const Deal &d = a.deals.at(i);
        if (!run(s.deal, {a.login, d.ticket, d.type, text(d.symbol), d.time, d.order, d.volume, d.price, d.profit}))
            return false;
    }
    return (changes.closed == 0 || trim(s.trimClosed, a.login, a.closed.size())) &&
           (changes.orderHistory == 0 || trim(s.trimOrders, a.login, orders)) &&
           (changes.deals == 0 || trim(s.trimDeals, a.login, deals));
}

bool ServerStore::save(const TradingEngine &engine, const EngineChanges &changes)
{
    if (!m_statements)
        return false;
    QSqlDatabase &db = m_statements->db;
    if (!db.transaction()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, db.lastError().text());
        return false;
    }
    Statements &s = *m_statements;
    bool ok = true;
    if (changes.counters)
        ok = run(s.counter, {QStringLiteral("next_ticket"), engine.nextTicketNumber()}) &&
             run(s.counter, {QStringLiteral("next_login"), engine.nextLoginNumber()});
    const QSqlQuery *failed = nullptr;
    for (auto it = changes.accounts.constBegin(); ok && it != changes.accounts.constEnd(); ++it) {
        if (const Account *account = engine.account(it.key()))
            ok = writeAccount(*account, *it);
    }
    if (!ok) {
        // The statement that failed is the one whose error is set.
        for (const QSqlQuery *q : {&s.counter, &s.account, &s.position, &s.dropPosition, &s.order, &s.dropOrder,
                                   &s.closed, &s.historyOrder, &s.deal, &s.trimClosed, &s.trimOrders, &s.trimDeals}) {
            if (q->lastError().isValid())
                failed = q;
        }
    }
    if (ok && db.commit()) {
        if (m_checkpointer)
            m_checkpointer->wrote();
        return true;
    }
    m_error =
        QStringLiteral("cannot write %1: %2").arg(m_path, failed ? failed->lastError().text() : db.lastError().text());
    db.rollback();
    return false;
}

bool ServerStore::saveAll(const TradingEngine &engine)
{
    EngineChanges all;
    all.counters = true;
    for (const Account &account : engine.accounts()) {
        AccountChanges &changes = all.accounts[account.login];
        changes.figures = true;
        for (auto it = account.positions.keyBegin(); it != account.positions.keyEnd(); ++it)
            changes.positions.insert(*it);
        for (auto it = account.orders.keyBegin(); it != account.orders.keyEnd(); ++it)
            changes.orders.insert(*it);
        changes.closed = account.closed.size();
        changes.orderHistory = account.orderHistory.size();
        changes.deals = account.deals.size();
    }
    return save(engine, all);
}

} // namespace tradeserver

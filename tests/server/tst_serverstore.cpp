// The local server's database: the real kestral-server program, stopped or killed
// and started again on the same folder, keeps every change it acknowledged and
// nothing more; it refuses files it cannot trust and leaves them as they were.
#include "desk.h"
#include "serverstore.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QWebSocket>
#include <functional>
#include <memory>

using namespace tradeserver;

namespace {

constexpr int patienceMs = 20000;
const QString demoPassword = QStringLiteral("demo123");

// One run of the real server program on a data folder.
class Server
{
public:
    ~Server()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(patienceMs);
        }
    }

    // Starts it and waits for the ports it chose; false when it stopped instead.
    bool start(const QString &data)
    {
        m_process.start(QStringLiteral(KESTRAL_SERVER_EXE),
                        {"--data", data, "--broker-port", "0", "--trade-port", "0", "--account-port", "0", "--seed",
                         "7", "--duration", "120"});
        (void)QTest::qWaitFor(
            [&] {
                while (m_process.canReadLine()) {
                    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                    const QStringList words = line.split(' ');
                    if (words.size() == 2 && words.first().endsWith("-port"))
                        m_ports.insert(words.first(), quint16(words.last().toUInt()));
                    if (line.startsWith("demo-account"))
                        m_demoLine = line;
                }
                return !m_demoLine.isEmpty() || m_process.state() == QProcess::NotRunning;
            },
            patienceMs);
        return !m_demoLine.isEmpty();
    }
    // Waits for a run that is expected to end by itself: its exit code, -1 if it did not end.
    int finish()
    {
        // Events keep flowing meanwhile: what was sent to it still has to go out.
        if (!QTest::qWaitFor([&] { return m_process.state() == QProcess::NotRunning; }, patienceMs) ||
            m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    QStringList errorLines()
    {
        return QString::fromUtf8(m_process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    }
    void kill() // SIGKILL: no chance to tidy up
    {
        m_process.kill();
        m_process.waitForFinished(patienceMs);
    }
    bool stop() // SIGTERM: the ordinary end
    {
        m_process.terminate();
        return m_process.waitForFinished(patienceMs) && m_process.exitCode() == 0;
    }
    quint16 port(const char *name) const { return m_ports.value(QLatin1String(name)); }
    QString demoLine() const { return m_demoLine; }

private:
    QProcess m_process;
    QMap<QString, quint16> m_ports;
    QString m_demoLine;
};

// A terminal's conversation with the trade server, reduced to requests and replies.
class Session
{
public:
    explicit Session(quint16 port)
    {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &m_socket, [this](const QString &text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.value("res_code").toInt() == 2)
                return; // ticks
            if (onMessage)
                onMessage(message);
            m_inbox.append(message);
        });
        m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
    }

    bool login(qint64 login, const QString &password)
    {
        if (!QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, patienceMs))
            return false;
        const QList<QJsonObject> replies =
            ask({{"req_code", 1}, {"id", login}, {"password", password}, {"type", 3}}, {1});
        return replies.value(0).value("state").toInt() == 1;
    }
    // A trade request: its result, after the account's state it pushes when done.
    QJsonObject trade(QJsonObject request)
    {
        request.insert("req_code", 4);
        const QList<QJsonObject> replies = ask(request, {7});
        const QJsonObject result = replies.value(0);
        if (result.value("status").toInt() == Done)
            (void)wait({4, 6});
        return result;
    }
    // Sends the request and waits for a reply of each of these codes, in any order.
    QList<QJsonObject> ask(const QJsonObject &request, const QList<int> &codes)
    {
        m_inbox.clear();
        send(request);
        return wait(codes);
    }
    void send(const QJsonObject &request)
    {
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)));
    }
    // Positions, pending orders and the whole history as the server reports them;
    // the live figures (current price, profit) are left out.
    QJsonObject state()
    {
        QJsonObject state;
        for (const QJsonObject &reply : ask({{"req_code", 4}, {"type", 5}}, {4, 6})) {
            QJsonArray items;
            for (const QJsonValue &item : reply.value("array").toArray()) {
                QJsonObject kept = item.toObject();
                for (const char *live : {"price_c", "profit", "r_profit"})
                    kept.remove(QLatin1String(live));
                items.append(kept);
            }
            state.insert(reply.value("res_code").toInt() == 4 ? "positions" : "orders", items);
            if (reply.contains("balance"))
                state.insert("balance", reply.value("balance"));
        }
        const QJsonObject history = ask({{"req_code", 5}, {"from", 0}, {"to", -1}}, {5}).value(0);
        for (const char *key : {"positions", "orders", "deals"})
            state.insert(QStringLiteral("history ") + QLatin1String(key), history.value(QLatin1String(key)));
        return state;
    }
    qint64 lastTicket(const char *list)
    {
        const QJsonArray items = state().value(QLatin1String(list)).toArray();
        return items.isEmpty() ? 0 : items.last().toObject().value("ticket").toVariant().toLongLong();
    }

    std::function<void(const QJsonObject &)> onMessage;

private:
    QList<QJsonObject> wait(const QList<int> &codes)
    {
        QList<int> at;
        (void)QTest::qWaitFor(
            [&] {
                at.clear();
                for (int code : codes) {
                    for (int i = 0; i < m_inbox.size(); ++i) {
                        if (m_inbox.at(i).value("res_code").toInt() == code) {
                            at.append(i);
                            break;
                        }
                    }
                }
                return at.size() == codes.size();
            },
            patienceMs);
        // What came along with them stays for the next wait.
        QList<QJsonObject> found;
        for (int i : std::as_const(at))
            found.append(m_inbox.at(i));
        std::sort(at.begin(), at.end());
        for (auto i = at.crbegin(); i != at.crend(); ++i)
            m_inbox.removeAt(*i);
        return found;
    }

    QWebSocket m_socket;
    QList<QJsonObject> m_inbox;
};

// One HTTP exchange with the account service; `onHead` sees the status line as soon as it comes.
QJsonObject post(quint16 port, const char *path, const QByteArray &body, const QByteArray &credentials = {},
                 const std::function<void()> &onHead = {})
{
    QTcpSocket socket;
    QByteArray answer;
    bool headSeen = false;
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] {
        answer += socket.readAll();
        if (!headSeen && answer.contains("\r\n") && onHead) {
            headSeen = true;
            onHead();
        }
    });
    socket.connectToHost(QHostAddress::LocalHost, port);
    const QByteArray authorization =
        credentials.isEmpty() ? QByteArray() : "Authorization: Basic " + credentials.toBase64() + "\r\n";
    socket.write("POST " + QByteArray(path) + " HTTP/1.1\r\n" + authorization +
                 "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    (void)QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, patienceMs);
    answer += socket.readAll();
    QJsonObject reply = QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    reply.insert("http", answer.mid(9, 3).toInt());
    return reply;
}

QJsonObject changePassword(quint16 port, qint64 login, const QString &current, const char *which,
                           const QString &password, const std::function<void()> &onHead = {})
{
    const QJsonObject body{{"dealer", login}, {QLatin1String(which), password}};
    return post(port, "/account/update", QJsonDocument(body).toJson(QJsonDocument::Compact),
                QStringLiteral("%1:%2").arg(login).arg(current).toUtf8(), onHead);
}

QJsonObject buy(const char *symbol = "EURUSD")
{
    return {{"type", 0}, {"order_type", Buy}, {"volume", 1000}, {"symbol", symbol}};
}

QJsonObject buyLimit(double price)
{
    return {{"type", 0}, {"order_type", BuyLimit}, {"volume", 1000}, {"symbol", "EURUSD"}, {"price", price}};
}

// What an account holds, without tickets or times: what a lost or half-kept
// change would alter. Positions and orders as "symbol type volume price/stops",
// then the history: closed positions, order type:state, deal types.
QString outline(const QJsonObject &state)
{
    auto items = [&](const char *key, const std::function<QString(const QJsonObject &)> &show) {
        QStringList shown;
        for (const QJsonValue &item : state.value(QLatin1String(key)).toArray())
            shown << show(item.toObject());
        return shown.join(", ");
    };
    const auto number = [](const QJsonObject &o, const char *key) {
        return QString::number(o.value(QLatin1String(key)).toDouble());
    };
    return QStringLiteral("P[%1] O[%2] C%3 H[%4] D[%5]")
        .arg(items("positions",
                   [&](const QJsonObject &p) {
                       return QStringLiteral("%1 %2 %3 sl %4 tp %5")
                           .arg(p.value("symbol").toString(), p.value("type").toString(), number(p, "volume"),
                                number(p, "sl"), number(p, "tp"));
                   }),
             items("orders",
                   [&](const QJsonObject &o) {
                       return QStringLiteral("%1 %2 %3 at %4")
                           .arg(o.value("symbol").toString(), number(o, "type"), number(o, "volume"),
                                number(o, "price"));
                   }))
        .arg(state.value("history positions").toArray().size())
        .arg(
            items("history orders", [&](const QJsonObject &o) { return number(o, "type") + ':' + number(o, "state"); }),
            items("history deals", [&](const QJsonObject &d) { return number(d, "type"); }));
}

// The balance is the deposit plus every closed position's profit: a trade kept by halves breaks it.
bool balanced(const QJsonObject &state, double deposit)
{
    double sum = deposit;
    for (const QJsonValue &closed : state.value("history positions").toArray())
        sum += closed.toObject().value("profit").toDouble();
    return qAbs(state.value("balance").toDouble() - sum) < 0.005;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Runs SQL on a file with a connection of the test's own.
bool execute(const QString &path, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        for (const QString &statement : statements)
            ok = ok && query.exec(statement);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test"));
    return ok;
}

// An account as the engine holds it, tickets and prices included.
QString summary(const Account &account)
{
    QString text = QStringLiteral("balance %1").arg(account.balance);
    for (const OpenPosition &p : account.positions)
        text += QStringLiteral(" P%1 %2 %3 %4").arg(p.ticket).arg(p.openPrice).arg(p.volume).arg(p.tp);
    for (const WorkingOrder &o : account.orders)
        text += QStringLiteral(" O%1 %2 type %3").arg(o.ticket).arg(o.price).arg(o.type);
    text += QStringLiteral(" C%1 H%2 D%3")
                .arg(account.closed.size())
                .arg(account.orderHistory.size())
                .arg(account.deals.size());
    return text;
}

// Nothing goes from the engine to the file except through the store.
struct Stored
{
    explicit Stored(const QString &path)
        : engine(defaultInstruments(), [this] { return clock; })
    {
        engine.setQuote("EURUSD", {1.10000, 1.10010});
        opened = store.open(path);
        if (!opened)
            return;
        store.restore(engine);
        engine.setSaver([this](const TradingEngine &e, const EngineChanges &c) { saved = store.save(e, c) && saved; });
        engine.setHistoryLoader([this](Account &account) { saved = store.loadHistory(account) && saved; });
    }

    qint64 clock = 1700000000;
    TradingEngine engine;
    ServerStore store;
    bool opened = false;
    bool saved = true;
};

} // namespace

class TestServerStore : public QObject
{
    Q_OBJECT

private slots:
    void restartKeepsEverything_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("stopped") << false;
        QTest::newRow("killed") << true;
    }
    void restartKeepsEverything()
    {
        QFETCH(bool, killed);
        QTemporaryDir data;
        qint64 login = 0;
        QString password;
        QJsonObject before;
        {
            Server server;
            QVERIFY(server.start(data.path()));
            QCOMPARE(changePassword(server.port("account-port"), 100001, demoPassword, "master_password", "Fresh-42")
                         .value("http")
                         .toInt(),
                     200);
            const QJsonObject created =
                post(server.port("account-port"), "/account/create", R"({"name":"Ann","deposit":5000,"leverage":200})");
            login = created.value("login").toVariant().toLongLong();
            password = created.value("password").toString();
            QVERIFY(login > 100001);
            Session session(server.port("trade-port"));
            QVERIFY(session.login(login, password));
            QCOMPARE(session.trade(buy()).value("status").toInt(), int(Done));
            QCOMPARE(session.trade(buy("GBPUSD")).value("status").toInt(), int(Done));
            QCOMPARE(
                session.trade({{"type", 4}, {"order_id", session.lastTicket("positions")}}).value("status").toInt(),
                int(Done));
            QCOMPARE(session.trade(buyLimit(0.5)).value("status").toInt(), int(Done));
            QCOMPARE(
                session.trade({{"type", 2}, {"order_id", session.lastTicket("positions")}, {"sl", 0.5}, {"tp", 2.0}})
                    .value("status")
                    .toInt(),
                int(Done));
            before = session.state();
            if (killed)
                server.kill();
            else
                QVERIFY(server.stop());
        }
        // A file someone opened up to others is closed again.
        const QString path = data.filePath(ServerStore::fileName());
        QVERIFY(
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        Server server;
        QVERIFY(server.start(data.path()));
        QCOMPARE(int(QFile::permissions(path) & 0x00ff), 0);
        QCOMPARE(server.demoLine(), "demo-account login 100001 password (changed) investor view123");
        Session demo(server.port("trade-port"));
        QVERIFY(!demo.login(100001, demoPassword));
        QVERIFY(demo.login(100001, "Fresh-42"));
        Session session(server.port("trade-port"));
        QVERIFY(session.login(login, password));
        const QJsonObject after = session.state();
        QCOMPARE(after, before);
        QCOMPARE(outline(after),
                 "P[EURUSD buy 1000 sl 0.5 tp 2] O[EURUSD 2 1000 at 0.5] C1 H[0:4, 0:4, 1:4] D[2, 0, 0, 1]");
        // Numbers go on from where they were, never handed out twice.
        qint64 newest = 0;
        for (const char *list : {"history orders", "history deals"})
            for (const QJsonValue &item : before.value(QLatin1String(list)).toArray())
                newest = std::max(newest, item.toObject().value("ticket").toVariant().toLongLong());
        QCOMPARE(session.trade(buy()).value("status").toInt(), int(Done));
        QVERIFY(session.lastTicket("positions") > newest);
        // The new deal follows the old ones, which came back with it.
        const QJsonArray deals = session.state().value("history deals").toArray();
        QCOMPARE(deals.size(), before.value("history deals").toArray().size() + 1);
        QCOMPARE(QJsonArray(deals).takeAt(0), before.value("history deals").toArray().first());
        const QJsonObject another =
            post(server.port("account-port"), "/account/create", R"({"name":"Bo","deposit":100,"leverage":100})");
        QCOMPARE(another.value("login").toVariant().toLongLong(), login + 1);
    }

    void killKeepsWhatWasAcknowledged_data()
    {
        QTest::addColumn<QString>("setup"); // done before, and waited for
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("outline");

        const QString opened("P[EURUSD buy 1000 sl 0 tp 0] O[] C0 H[0:4] D[2, 0]");
        QTest::newRow("open") << ""
                              << "open" << opened;
        QTest::newRow("modify a position") << "open"
                                           << "modify"
                                           << "P[EURUSD buy 1000 sl 0.5 tp 2] O[] C0 H[0:4] D[2, 0]";
        QTest::newRow("close") << "open"
                               << "close"
                               << "P[] O[] C1 H[0:4, 1:4] D[2, 0, 1]";
        QTest::newRow("place pending") << ""
                                       << "pending"
                                       << "P[] O[EURUSD 2 1000 at 0.5] C0 H[] D[2]";
        QTest::newRow("modify pending") << "pending"
                                        << "move"
                                        << "P[] O[EURUSD 2 1000 at 0.6] C0 H[] D[2]";
        QTest::newRow("delete pending") << "pending"
                                        << "delete"
                                        << "P[] O[] C0 H[2:2] D[2]";
        QTest::newRow("password change") << "open"
                                         << "password" << opened;
    }
    void killKeepsWhatWasAcknowledged()
    {
        QFETCH(QString, setup);
        QFETCH(QString, action);
        QTemporaryDir data;
        QString password = demoPassword;
        {
            Server server;
            QVERIFY(server.start(data.path()));
            Session session(server.port("trade-port"));
            QVERIFY(session.login(100001, password));
            if (setup == "open")
                QCOMPARE(session.trade(buy()).value("status").toInt(), int(Done));
            if (setup == "pending")
                QCOMPARE(session.trade(buyLimit(0.5)).value("status").toInt(), int(Done));
            const qint64 position = session.lastTicket("positions");
            const qint64 order = session.lastTicket("orders");

            // Killed the instant the acknowledgement arrives: nothing after it can help.
            bool acknowledged = false;
            if (action == "password") {
                const QJsonObject reply = changePassword(server.port("account-port"), 100001, password,
                                                         "master_password", "Fresh-42", [&] { server.kill(); });
                QCOMPARE(reply.value("http").toInt(), 200);
                password = "Fresh-42";
            } else {
                const QMap<QString, QJsonObject> requests{
                    {"open", buy()},
                    {"modify", {{"type", 2}, {"order_id", position}, {"sl", 0.5}, {"tp", 2.0}}},
                    {"close", {{"type", 4}, {"order_id", position}}},
                    {"pending", buyLimit(0.5)},
                    {"move", {{"type", 1}, {"order_id", order}, {"price", 0.6}}},
                    {"delete", {{"type", 3}, {"order_id", order}}}};
                session.onMessage = [&](const QJsonObject &message) {
                    if (message.value("res_code").toInt() == 7) {
                        acknowledged = message.value("status").toInt() == Done;
                        server.kill();
                    }
                };
                QJsonObject request = requests.value(action);
                request.insert("req_code", 4);
                session.send(request);
                QVERIFY(QTest::qWaitFor([&] { return acknowledged; }, patienceMs));
            }
        }
        Server server;
        QVERIFY(server.start(data.path()));
        Session session(server.port("trade-port"));
        QVERIFY(session.login(100001, password));
        const QJsonObject state = session.state();
        QTEST(outline(state), "outline");
        QVERIFY(balanced(state, 10000.0));
        if (action == "password") {
            Session old(server.port("trade-port"));
            QVERIFY(!old.login(100001, demoPassword));
        }
    }

    void badFilesAreRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");

        QTest::newRow("not SQLite") << "text"
                                    << "is not an SQLite database";
        QTest::newRow("damaged") << "damaged"
                                 << "(is damaged|fails its integrity check)";
        // Read only when first needed, so only the check at start finds it.
        QTest::newRow("damaged in the history") << "damaged history"
                                                << "fails its integrity check";
        QTest::newRow("another program's database") << "foreign"
                                                    << "is another program's database";
        QTest::newRow("written by a newer server") << "newer"
                                                   << "was written by a newer kestral-server";
        QTest::newRow("in use by a running server") << "running"
                                                    << "is in use by another program";
        QTest::newRow("locked by another program") << "locked"
                                                   << "is in use by another program";
        QTest::newRow("a folder in its place") << "folder"
                                               << "cannot open .* it is not a file";
    }
    void badFilesAreRefusedAndLeftAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir data;
        const QString path = data.filePath(ServerStore::fileName());
        Server first; // runs on the file in the "running" row
        if (kind == "text") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("Quarterly notes, nothing to do with trading.\n").repeated(100));
        } else if (kind == "foreign") {
            QVERIFY(execute(path, {"CREATE TABLE notes (body TEXT)", "INSERT INTO notes VALUES ('hello')"}));
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            // A file of our own, with some history in it.
            QVERIFY(first.start(data.path()));
            if (kind == "running") {
                Session session(first.port("trade-port"));
                QVERIFY(session.login(100001, demoPassword));
                QCOMPARE(session.trade(buy()).value("status").toInt(), int(Done));
            } else {
                QVERIFY(first.stop());
            }
        }
        QSqlDatabase holder;
        std::unique_ptr<QSqlQuery> holding; // the lock lasts as long as its statement
        if (kind == "newer")
            QVERIFY(execute(path, {QStringLiteral("PRAGMA user_version = %1").arg(ServerStore::schemaVersion + 1)}));
        if (kind == "damaged history") {
            qint64 page = 0;
            qint64 pageSize = 0;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QSqlQuery query(db);
                QVERIFY(query.exec("SELECT rootpage FROM sqlite_master WHERE name = 'deals'") && query.next());
                page = query.value(0).toLongLong();
                QVERIFY(query.exec("PRAGMA page_size") && query.next());
                pageSize = query.value(0).toLongLong();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("reader"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek((page - 1) * pageSize + 8); // the page's cell pointers, past its header
            file.write(QByteArray(64, '\x7f'));
        }
        if (kind == "damaged") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.size() > 4 * 4096);
            file.seek(2 * 4096); // past the header and the schema page: the tables' pages
            file.write(QByteArray(2 * 4096, '\x5a'));
        }
        // Read before the lock is taken: closing any file of the database drops this process's locks on it.
        const QByteArray original = contents(path);
        if (kind == "locked") {
            holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(path);
            QVERIFY(holder.open());
            holding = std::make_unique<QSqlQuery>(holder);
            QVERIFY(holding->exec("BEGIN EXCLUSIVE"));
        }

        Server server;
        QVERIFY(!server.start(data.path()));
        QVERIFY(server.finish() > 0);
        const QStringList lines = server.errorLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("kestral-server: ") && lines.first().contains(path) &&
                     lines.first().contains(QRegularExpression(says)),
                 qPrintable(lines.first()));
        QCOMPARE(contents(path), original);

        if (holder.isValid()) {
            holding->exec("ROLLBACK");
            holding.reset();
            holder.close();
            holder = {};
            QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        }
    }

    void aChangeThatCannotBeKeptIsNeverAcknowledged()
    {
        QTemporaryDir data;
        Server server;
        QVERIFY(server.start(data.path()));
        Session session(server.port("trade-port"));
        QVERIFY(session.login(100001, demoPassword));
        // Another program takes away what a trade must write to.
        QVERIFY(execute(data.filePath(ServerStore::fileName()), {"DROP TABLE deals"}));
        bool answered = false;
        session.onMessage = [&](const QJsonObject &message) { answered |= message.value("res_code").toInt() == 7; };
        QJsonObject request = buy();
        request.insert("req_code", 4);
        session.send(request);
        QCOMPARE(server.finish(), 1);
        QVERIFY(!answered);
        const QStringList lines = server.errorLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("kestral-server: cannot write "), qPrintable(lines.first()));
    }

    void passwordsAreNotInTheFile_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("the demo account's main password") << "demo main";
        QTest::newRow("the demo account's read-only password") << "demo investor";
        QTest::newRow("a changed main password") << "changed main";
        QTest::newRow("a changed read-only password") << "changed investor";
        QTest::newRow("a new account's generated password") << "generated";
    }
    void passwordsAreNotInTheFile()
    {
        QFETCH(QString, which);
        QTemporaryDir data;
        Server server;
        QVERIFY(server.start(data.path()));
        QString password = which == "demo main" ? demoPassword : QStringLiteral("view123");
        if (which.startsWith("changed")) {
            password = "Secret-Word-7";
            const char *key = which.endsWith("main") ? "master_password" : "investor_password";
            QCOMPARE(
                changePassword(server.port("account-port"), 100001, demoPassword, key, password).value("http").toInt(),
                200);
        } else if (which == "generated") {
            password =
                post(server.port("account-port"), "/account/create", R"({"name":"Ann","deposit":5000,"leverage":200})")
                    .value("password")
                    .toString();
            QCOMPARE(password.size(), 10);
        }
        // Both while it runs (the journal beside it holds the newest) and once it is stopped.
        const QString path = data.filePath(ServerStore::fileName());
        for (int pass = 0; pass < 2; ++pass) {
            QByteArray bytes = contents(path) + contents(path + "-wal");
            QVERIFY(bytes.size() > 0);
            QVERIFY(!bytes.contains(password.toUtf8()));
            QVERIFY(!bytes.contains(QByteArray(reinterpret_cast<const char *>(password.utf16()), password.size() * 2)));
            const QFileDevice::Permissions permissions = QFile::permissions(path);
            QVERIFY(permissions.testFlag(QFileDevice::ReadOwner) && permissions.testFlag(QFileDevice::WriteOwner));
            QCOMPARE(int(permissions & 0x00ff), 0); // nothing for the group or others
            if (pass == 0)
                QVERIFY(server.stop());
        }
    }

    void passwordsAreSaltedAndChecked_data()
    {
        QTest::addColumn<QString>("tried");
        QTest::addColumn<int>("alteredByte"); // of the stored key; -1 for none
        QTest::addColumn<bool>("accepted");
        QTest::newRow("the password") << "Tr0ub4dor" << -1 << true;
        QTest::newRow("another") << "tr0ub4dor" << -1 << false;
        QTest::newRow("a prefix") << "Tr0ub4do" << -1 << false;
        QTest::newRow("empty") << "" << -1 << false;
        QTest::newRow("a stored key off in its first byte") << "Tr0ub4dor" << 0 << false;
        QTest::newRow("a stored key off in a middle byte") << "Tr0ub4dor" << 17 << false;
    }
    void passwordsAreSaltedAndChecked()
    {
        QFETCH(QString, tried);
        QFETCH(int, alteredByte);
        PasswordHash first = PasswordHash::make("Tr0ub4dor");
        const PasswordHash second = PasswordHash::make("Tr0ub4dor");
        if (alteredByte >= 0)
            first.key[alteredByte] = char(first.key.at(alteredByte) ^ 0x01);
        QTEST(first.matches(tried), "accepted");
        QVERIFY(first.salt != second.salt && first.key != second.key); // the same password, told apart
        QVERIFY(first.rounds >= 500);
    }

    void historyBeyondItsBoundStaysBounded()
    {
        QTemporaryDir data;
        const QString path = data.filePath(ServerStore::fileName());
        QList<Deal> deals;
        QList<HistoryOrder> orders;
        QList<ClosedPosition> closed;
        qint64 login = 0;
        {
            Stored run(path);
            QVERIFY2(run.opened, qPrintable(run.store.errorString()));
            login = run.engine.createAccount("Ann", "pw", "view", 100000.0, 100);
            for (int i = 0; i < 520; ++i) {
                ++run.clock;
                QVERIFY(run.engine.execute(login, {0, Buy, 1000, "EURUSD"}).ok());
                const qint64 ticket = run.engine.account(login)->positions.lastKey();
                QVERIFY(run.engine.execute(login, {4, -1, 0, QString(), 0, 0, 0, 0, ticket}).ok());
            }
            QVERIFY(run.saved);
            const Account &account = *run.engine.account(login);
            QCOMPARE(account.deals.size(), TradingEngine::maxHistory);
            deals = account.deals;
            orders = account.orderHistory;
            closed = account.closed;
        }
        Stored again(path);
        QVERIFY2(again.opened, qPrintable(again.store.errorString()));
        QVERIFY(again.engine.account(login));
        const Account &account = *again.engine.accountWithHistory(login);
        const auto tickets = [](const auto &list) {
            QList<qint64> result;
            for (const auto &item : list)
                result << item.ticket;
            return result;
        };
        QCOMPARE(tickets(account.deals), tickets(deals));
        QCOMPARE(tickets(account.orderHistory), tickets(orders));
        QCOMPARE(tickets(account.closed), tickets(closed));
        QCOMPARE(account.closed.size(), 520);
    }

    void storeServesTheThreadItMovesTo()
    {
        QTemporaryDir data;
        const QString path = data.filePath(ServerStore::fileName());
        {
            Stored run(path);
            QVERIFY(run.opened);
            std::unique_ptr<QThread> thread(QThread::create([&run] {
                run.engine.createAccount("Ann", "pw", "view", 10000.0, 100);
                run.engine.execute(100001, {0, Buy, 1000, "EURUSD"});
            }));
            thread->start();
            QVERIFY(thread->wait(patienceMs));
            QVERIFY(run.saved);
        }
        Stored again(path);
        QVERIFY(again.opened);
        QVERIFY(again.engine.account(100001));
        QCOMPARE(again.engine.account(100001)->positions.size(), 1);
    }

    void quoteDrivenChangesAreKept()
    {
        QTemporaryDir data;
        const QString path = data.filePath(ServerStore::fileName());
        const qint64 nowMs = 1700000000000;
        QString outcome;
        {
            ServerStore store;
            QVERIFY(store.open(path));
            Desk desk(instruments(2), 7, "+00:00", nowMs, [] { return qint64(1700000000); });
            desk.feed().setTicksPerSecond(10.0);
            store.restore(desk.engine());
            bool saved = true;
            desk.engine().setSaver(
                [&](const TradingEngine &e, const EngineChanges &c) { saved = store.save(e, c) && saved; });
            TradingEngine &engine = desk.engine();
            const qint64 login = engine.createAccount("Ann", "pw", "view", 10000.0, 100);
            const Quote q = engine.quote("EURUSD");
            // Stops a point either side, and an order a point above: the next move ends one or the other.
            QVERIFY(engine.execute(login, {0, Buy, 1000, "EURUSD", 0, 0, q.bid - 0.00001, q.bid + 0.00001}).ok());
            QVERIFY(engine.execute(login, {0, BuyStop, 1000, "EURUSD", q.ask + 0.00001}).ok());
            QSet<qint64> changed;
            for (qint64 t = nowMs + 100; t <= nowMs + 60000 && engine.account(login)->closed.isEmpty(); t += 100)
                desk.advance(t, &changed);
            QVERIFY(saved);
            QVERIFY(!engine.account(login)->closed.isEmpty());
            outcome = summary(*engine.account(login));
        }
        Stored again(path);
        QVERIFY(again.opened);
        QVERIFY(again.engine.account(100001));
        QCOMPARE(summary(*again.engine.accountWithHistory(100001)), outcome);
    }
};

KESTRAL_TEST_MAIN(TestServerStore)
#include "tst_serverstore.moc"

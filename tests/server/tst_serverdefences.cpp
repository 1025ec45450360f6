// The local server's defences against clients that take more than their share,
// each driven until it must act: a full server, a request flood, a peer that stops
// reading, password guessing and HTTP connections that hold their places. The trade
// server runs on an injected clock, so budgets refill and ticks move only when a
// test says so and no keep-alive cuts in.
#include "desk.h"
#include "httpservice.h"
#include "loginthrottle.h"
#include "silentwebsocket.h"
#include "testmain.h"
#include "tradeserver.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <memory>

using namespace tradeserver;

namespace {

constexpr int patienceMs = 20000;
constexpr qint64 startMs = 1700000000000;
constexpr qint64 traderLogin = 100001;

QString loginText(qint64 login, const QString &password = QStringLiteral("main"))
{
    return QStringLiteral(R"({"req_code":1,"id":%1,"password":"%2","type":3})").arg(login).arg(password);
}

// Runs events until `done`, without the sleeps of a test wait: a crowd of 128 logins
// would otherwise take a minute.
template <typename F> bool waitUntil(F done, int ms = patienceMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake; // the loop below waits for events; this one always comes
    wake.start(20);
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Read once per message: some are a few hundred kilobytes.
int resCode(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object().value("res_code").toInt();
}

// A trade server on 127.0.0.1 whose clock stands still until moved.
struct Rig
{
    Rig()
        : desk(defaultInstruments(), 11, "+00:00", startMs)
        , server(&desk)
    {
        desk.feed().setTicksPerSecond(10.0); // every symbol ticks whenever the clock moves a beat
        desk.engine().createAccount("Trader", "main", "view", 100000.0, 100, traderLogin);
        server.setClock([this] { return clockMs; });
    }
    bool start() { return server.listen(QHostAddress::LocalHost, 0); }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.port())); }
    int positions() { return desk.engine().account(traderLogin)->positions.size(); }

    qint64 clockMs = startMs;
    Desk desk;
    TradeServer server;
};

// A logged-in terminal that reads everything.
struct Client
{
    // Waits for the login's answer; false when the server refused or closed.
    bool logIn(const QUrl &url, qint64 login, const QString &password = QStringLiteral("main"))
    {
        open(url, login, password);
        return answered();
    }
    // Sends the login once connected, without waiting for the answer.
    void open(const QUrl &url, qint64 login, const QString &password = QStringLiteral("main"))
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [this](const QString &text) {
            received << text;
            codes << resCode(text);
        });
        QObject::connect(&socket, &QWebSocket::connected, &socket,
                         [this, login, password] { socket.sendTextMessage(loginText(login, password)); });
        QObject::connect(&socket, &QWebSocket::disconnected, &socket, [this] { gone = true; });
        socket.open(url);
    }
    // Whether the login was accepted, once answered or refused.
    bool answered()
    {
        return waitUntil([&] { return !received.isEmpty() || gone; }) && !received.isEmpty() &&
               received.first().contains(R"("state":1)");
    }
    int count(const QList<int> &wanted) const
    {
        return int(std::count_if(codes.cbegin(), codes.cend(), [&](int code) { return wanted.contains(code); }));
    }

    QWebSocket socket;
    QStringList received;
    QList<int> codes; // each message's res_code
    bool gone = false;
};

// Runs events until `value` has not changed for a while: what a stalled server shows.
template <typename F> auto settled(F value)
{
    auto last = value();
    for (;;) {
        QTest::qWait(300); // three rounds of ticks, each of which sets waiting requests going
        const auto now = value();
        if (now == last)
            return now;
        last = now;
    }
}

// A protocol client on a raw socket that reads nothing after its handshake until it
// catches up: the peer that falls behind, and then reads what waited for it.
class LaggingPeer : public SilentWebSocket
{
public:
    void catchUp()
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { read(); });
        m_socket.setReadBufferSize(0);
        read();
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    int count(int code) const
    {
        return int(std::count(codes.cbegin(), codes.cend(), code));
    }

    QList<int> codes; // the res_code of each message read since catching up

private:
    void read()
    {
        m_buffer += m_socket.readAll();
        for (;;) {
            if (m_buffer.size() < 2)
                return;
            const auto byte = [&](int i) { return quint64(quint8(m_buffer.at(i))); };
            quint64 length = byte(1) & 0x7f;
            int head = 2;
            if (length == 126) {
                head = 4;
                length = m_buffer.size() < head ? 0 : byte(2) << 8 | byte(3);
            } else if (length == 127) {
                head = 10;
                length = 0;
                for (int i = 2; i < head && i < m_buffer.size(); ++i)
                    length = length << 8 | byte(i);
            }
            if (quint64(m_buffer.size()) < head + length)
                return;
            const int opcode = int(byte(0) & 0x0f);
            if (opcode == 1 || opcode == 0)
                m_message += m_buffer.mid(head, int(length));
            if ((opcode == 1 || opcode == 0) && (byte(0) & 0x80)) {
                codes << resCode(QString::fromUtf8(m_message));
                m_message.clear();
            }
            m_buffer.remove(0, head + int(length));
        }
    }

    QByteArray m_buffer;
    QByteArray m_message;
};

} // namespace

class TestServerDefences : public QObject
{
    Q_OBJECT

private slots:
    void passwordFailuresWaitLongerUpToAMinute_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("delay"); // seconds the account takes no check after the last failure

        QTest::newRow("three slips are free") << 3 << 0;
        QTest::newRow("the fourth costs a second") << 4 << 1;
        QTest::newRow("then two") << 5 << 2;
        QTest::newRow("then four") << 6 << 4;
        QTest::newRow("then eight") << 7 << 8;
        QTest::newRow("then thirty-two") << 9 << 32;
        QTest::newRow("a minute, not 64 s") << 10 << 60;
        QTest::newRow("a minute after eighty guesses") << 80 << 60;
    }
    void passwordFailuresWaitLongerUpToAMinute()
    {
        QFETCH(int, failures);
        QFETCH(int, delay);
        LoginThrottle throttle;
        qint64 now = 1000;
        for (int i = 0; i < failures; ++i) {
            while (!throttle.allows(7, now))
                ++now;
            throttle.failed(7, now);
        }
        QVERIFY(throttle.allows(8, now)); // another account is not held back
        QCOMPARE(throttle.allows(7, now + delay - 1), delay == 0);
        QVERIFY(throttle.allows(7, now + delay));
        throttle.succeeded(7);
        throttle.failed(7, now);
        QVERIFY(throttle.allows(7, now)); // a success starts the count afresh
    }

    void httpPlacesGoToTheLongestWaiting_data()
    {
        QTest::addColumn<int>("extra"); // connections beyond the places, all idle

        QTest::newRow("one too many") << 1;
        QTest::newRow("eight too many") << 8;
    }
    void httpPlacesGoToTheLongestWaiting()
    {
        QFETCH(int, extra);
        HttpService service([](const HttpRequest &) { return HttpReply(200, "{}"); });
        service.setRequestTimeout(patienceMs * 3); // no place falls free by itself here
        QVERIFY(service.listen(QHostAddress::LocalHost, 0));
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        const auto cutOff = [&] {
            QList<int> gone;
            for (int i = 0; i < int(idle.size()); ++i)
                if (idle[i]->state() == QAbstractSocket::UnconnectedState)
                    gone << i;
            return gone;
        };
        QList<int> expected;
        for (int i = 0; i < HttpService::maxConnections + extra; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, service.port());
            idle.back()->write("GET /brokers HTTP/1.1\r\n"); // never finished
            QTRY_COMPARE_WITH_TIMEOUT(idle.back()->state(), QAbstractSocket::ConnectedState, patienceMs);
            if (i >= HttpService::maxConnections)
                expected << i - HttpService::maxConnections;
            QTRY_COMPARE_WITH_TIMEOUT(cutOff(), expected, patienceMs);
        }
        QCOMPARE(settled(cutOff), expected);

        // A whole request still gets its answer, and the next-longest waiting makes room.
        QTcpSocket genuine;
        QByteArray answer;
        connect(&genuine, &QTcpSocket::readyRead, &genuine, [&] { answer += genuine.readAll(); });
        genuine.connectToHost(QHostAddress::LocalHost, service.port());
        genuine.write("GET /brokers HTTP/1.1\r\n\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(answer.startsWith("HTTP/1.1 200"), patienceMs);
        expected << extra;
        QTRY_COMPARE_WITH_TIMEOUT(cutOff(), expected, patienceMs);
        QCOMPARE(settled(cutOff), expected);
    }

    void requestBudget_data()
    {
        QTest::addColumn<QStringList>("script");

        // "light", "chart" and "history" send that many requests, "wait" moves the clock
        // on by milliseconds, "answered" is the count of replies so far, "reconnect" logs
        // in again on a new connection (whose count starts at 0). The login costs 1.
        QTest::newRow("a burst of 200") << QStringList{"light 200",    "answered 199", "wait 40",
                                                       "answered 199", "wait 10",      "answered 200"};
        QTest::newRow("a chart costs ten") << QStringList{"chart 21", "answered 19", "wait 50", "answered 20",
                                                          "wait 450", "answered 20", "wait 50", "answered 21"};
        QTest::newRow("a trade history costs ten")
            << QStringList{"history 20", "answered 19", "wait 50", "answered 20"};
        QTest::newRow("twenty a second") << QStringList{"light 199", "answered 199", "light 30", "wait 1000",
                                                        "answered 219"};
        QTest::newRow("refilled up to the burst, no further")
            << QStringList{"light 99", "answered 99", "wait 9000", "light 201", "answered 299"};
        QTest::newRow("a new connection goes on with what the last one left")
            << QStringList{"light 199", "answered 199", "reconnect", "light 5", "answered 0", "wait 250", "answered 5"};
    }
    void requestBudget()
    {
        QFETCH(QStringList, script);
        Rig rig;
        QVERIFY(rig.start());
        auto client = std::make_unique<Client>();
        QVERIFY(client->logIn(rig.url(), traderLogin));
        const QList<int> answers{7, 3, 5}; // trade results, charts, trade histories
        const auto answered = [&] { return client->count(answers); };
        int sent = 0;
        for (const QString &step : std::as_const(script)) {
            const QString what = step.section(' ', 0, 0);
            const int n = step.section(' ', 1).toInt();
            if (what == "answered") {
                // However slow the build, then no more than that.
                QTRY_VERIFY_WITH_TIMEOUT(answered() >= n, patienceMs);
                QCOMPARE(settled(answered), n);
            } else if (what == "wait") {
                rig.clockMs += n;
            } else if (what == "reconnect") {
                client->socket.close();
                QTRY_COMPARE_WITH_TIMEOUT(rig.server.connectionCount(), 0, patienceMs);
                client = std::make_unique<Client>();
                QVERIFY(client->logIn(rig.url(), traderLogin));
                sent = 0;
            } else {
                const QString request = what == "light"   ? R"({"req_code":4,"type":2,"order_id":1,"sl":0,"tp":0})"
                                        : what == "chart" ? R"({"req_code":3,"symbol":"EURUSD","interval":1440})"
                                                          : R"({"req_code":5,"from":0,"to":-1})";
                // In batches the server lets wait, and each batch once it is answered.
                for (int i = 0; i < n; ++i) {
                    client->socket.sendTextMessage(request);
                    if (++sent % 40 == 0) // what is not answered soon waits for its budget
                        waitUntil([&] { return answered() == sent; }, 300);
                }
            }
        }
        QVERIFY(!client->gone);
    }

    void othersAreServedOnceAFloodIsDropped_data()
    {
        QTest::addColumn<int>("flood"); // requests sent at once, before any is answered

        QTest::newRow("sixty-four may wait") << 64;
        QTest::newRow("past sixty-four the connection goes") << 200;
    }
    void othersAreServedOnceAFloodIsDropped()
    {
        QFETCH(int, flood);
        Rig rig;
        QVERIFY(rig.start());
        LaggingPeer flooder; // its requests arrive together, so they wait together
        QVERIFY(flooder.open(rig.server.port()));
        flooder.send(loginText(traderLogin).toUtf8());
        Client other;
        QVERIFY(other.logIn(rig.url(), traderLogin));
        for (int i = 0; i < flood; ++i)
            flooder.send(R"({"req_code":4,"type":2,"order_id":1,"sl":0,"tp":0})");
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.connectionCount(), flood > 64 ? 1 : 2, patienceMs);
        other.socket.sendTextMessage(R"({"req_code":4,"type":2,"order_id":1,"sl":0,"tp":0})");
        QTRY_COMPARE_WITH_TIMEOUT(other.count({7}), 1, patienceMs);
        QCOMPARE(settled([&] { return rig.server.connectionCount(); }), flood > 64 ? 1 : 2);
    }

    void fullServerTakesAPlaceFromTheLargestAccount_data()
    {
        QTest::addColumn<QList<int>>("holdings"); // logged-in connections per account, 128 in all
        QTest::addColumn<int>("newcomer");        // the account that logs in once more (past the list: a new one)
        QTest::addColumn<int>("giver");           // the account whose oldest connection goes (-1: newcomer refused)

        QList<int> uneven{5, 8};
        for (int i = 0; i < 16; ++i)
            uneven << 7;
        uneven << 3;
        QList<int> sevens = QVector<int>(18, 7).toList();
        sevens << 2;
        QList<int> twoEights = QVector<int>(16, 7).toList();
        twoEights << 8 << 8;
        QList<int> largestLast{3};
        for (int i = 0; i < 16; ++i)
            largestLast << 7;
        largestLast << 5 << 8;
        QList<int> largestInTheMiddle = QVector<int>(8, 7).toList() << 8;
        largestInTheMiddle << QVector<int>(8, 7).toList() << 3 << 5;
        QTest::newRow("a new account takes from the account holding most") << uneven << int(uneven.size()) << 1;
        QTest::newRow("the one holding most is the last to come") << largestLast << int(largestLast.size()) << 18;
        QTest::newRow("the one holding most came halfway") << largestInTheMiddle << 17 << 8;
        QTest::newRow("an account holding few takes from the one holding most") << uneven << 0 << 1;
        QTest::newRow("an account holding its eight gives up its own oldest") << QVector<int>(16, 8).toList() << 5 << 5;
        QTest::newRow("nobody holds two more than the newcomer: refused") << sevens << 0 << -1;
        QTest::newRow("the newcomer's account would end up the larger: refused") << twoEights << 3 << -1;
    }
    void fullServerTakesAPlaceFromTheLargestAccount()
    {
        QFETCH(QList<int>, holdings);
        QFETCH(int, newcomer);
        QFETCH(int, giver);
        Rig rig;
        QVERIFY(rig.start());
        const auto loginOf = [](int account) { return 300001 + account; };
        for (int account = 0; account <= holdings.size(); ++account)
            rig.desk.engine().createAccount("Crowd", "main", "view", 1000.0, 100, loginOf(account));
        std::vector<std::unique_ptr<Client>> crowd;
        QList<int> firsts; // each account's first connection in the crowd
        for (int account = 0; account < holdings.size(); ++account) {
            firsts << int(crowd.size());
            for (int i = 0; i < holdings.at(account); ++i) {
                crowd.push_back(std::make_unique<Client>());
                crowd.back()->open(rig.url(), loginOf(account));
                // The account's first is in before the others come.
                if (i == 0 || i + 1 == holdings.at(account))
                    for (int k = firsts.last(); k < int(crowd.size()); ++k)
                        QVERIFY(crowd[k]->answered());
            }
        }
        QCOMPARE(int(crowd.size()), 128);
        QCOMPARE(rig.server.connectionCount(), 128);

        Client late;
        QCOMPARE(late.logIn(rig.url(), loginOf(newcomer)), giver >= 0);
        const auto gone = [&] {
            QList<int> list;
            for (int i = 0; i < int(crowd.size()); ++i)
                if (crowd[i]->gone)
                    list << i;
            return list;
        };
        QTRY_VERIFY_WITH_TIMEOUT(giver >= 0 ? !gone().isEmpty() : late.gone, patienceMs);
        QCOMPARE(settled(gone), giver >= 0 ? QList<int>{firsts.at(giver)} : QList<int>{});
        QCOMPARE(late.gone, giver < 0);
        QCOMPARE(rig.server.connectionCount(), 128);
    }

    void peerBehindGetsNoTicksAndWaits_data()
    {
        QTest::addColumn<int>("charts");   // charts asked for before the peer reads again
        QTest::addColumn<bool>("behind");  // over 1 MiB unsent at the server once the kernel is full
        QTest::addColumn<bool>("dropped"); // the account's changes pushed to it take it past 4 MiB

        QTest::newRow("half a megabyte asked for: kept up with") << 3 << false << false;
        // Eight are 1.6 MiB, of which the kernel takes under half a megabyte.
        QTest::newRow("a megabyte and a half: behind") << 8 << true << false;
        QTest::newRow("pushed past four megabytes: dropped") << 8 << true << true;
    }
    void peerBehindGetsNoTicksAndWaits()
    {
        QFETCH(int, charts);
        QFETCH(bool, behind);
        QFETCH(bool, dropped);
        Rig rig;
        // Big pushes: every change of the account sends all its positions to each of its connections.
        for (int i = 0; i < 190; ++i) {
            TradeRequest buy;
            buy.type = 0;
            buy.orderType = 0;
            buy.volume = 100;
            buy.symbol = "EURUSD";
            QVERIFY(rig.desk.engine().execute(traderLogin, buy).ok());
        }
        QVERIFY(rig.start());
        Client reader; // the account's other terminal, which reads, and sees each round of ticks
        QVERIFY(reader.logIn(rig.url(), traderLogin));
        LaggingPeer peer;
        QVERIFY(peer.open(rig.server.port()));
        peer.send(loginText(traderLogin).toUtf8());
        // About 200 KB each.
        const QByteArray chart(R"({"req_code":3,"symbol":"EURUSD","interval":1,"from":0,"to":-1})");
        for (int i = 0; i < charts; ++i)
            peer.send(chart);
        peer.send(R"({"req_code":4,"type":0,"order_type":0,"volume":100,"symbol":"GBPUSD"})");
        // Connections take turns, so once the reader's later requests are answered the
        // peer has had a turn for each of its own.
        for (int i = 0; i < charts + 3; ++i)
            reader.socket.sendTextMessage(R"({"req_code":4,"type":2,"order_id":1,"sl":0,"tp":0})");
        QTRY_COMPARE_WITH_TIMEOUT(reader.count({7}), charts + 3, patienceMs);
        QCOMPARE(rig.positions(), behind ? 190 : 191); // behind, its trade waits for it to catch up
        for (int round = 0; round < 3; ++round) {
            const int ticks = reader.count({2});
            rig.clockMs += TradeServer::tickIntervalMs;
            QTRY_VERIFY_WITH_TIMEOUT(reader.count({2}) > ticks, patienceMs);
        }
        settled([&] { return reader.received.size(); });
        QCOMPARE(rig.positions(), behind ? 190 : 191);
        if (dropped) {
            qint64 pushed = 0;
            int seen = 0;
            int modified = 0;
            const QString modify = QStringLiteral(R"({"req_code":4,"type":2,"order_id":%1,"sl":0,"tp":0})")
                                       .arg(rig.desk.engine().account(traderLogin)->positions.firstKey());
            // It does not read, so it does not notice; the server's count tells.
            while (pushed < 5 * 1024 * 1024 && rig.server.connectionCount() == 2) {
                reader.socket.sendTextMessage(modify);
                ++modified;
                QVERIFY(waitUntil([&] { return reader.count({4}) == modified; }));
                for (; seen < reader.received.size(); ++seen)
                    if (reader.codes.at(seen) == 4 || reader.codes.at(seen) == 6)
                        pushed += reader.received.at(seen).toUtf8().size();
                // Not before what it was sent could have reached 4 MiB.
                QVERIFY2(pushed > 4 * 1024 * 1024 - charts * 220 * 1024 || rig.server.connectionCount() == 2,
                         "dropped early");
            }
            QTRY_COMPARE_WITH_TIMEOUT(rig.server.connectionCount(), 1, patienceMs);
            QVERIFY(!reader.gone);
            return;
        }
        peer.catchUp();
        QTRY_COMPARE_WITH_TIMEOUT(rig.positions(), 191, patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(peer.count(3), charts, patienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(peer.count(7), 1, patienceMs);
        // Ticks sent while it was behind would have piled up in our memory; they would
        // have come before its last answers, which waited for it to catch up.
        if (behind)
            QCOMPARE(peer.count(2), 0);
        else
            QTRY_VERIFY_WITH_TIMEOUT(peer.count(2) > 0, patienceMs);
        const int ticks = peer.count(2);
        rig.clockMs += TradeServer::tickIntervalMs;
        QTRY_VERIFY_WITH_TIMEOUT(peer.count(2) > ticks, patienceMs); // and once caught up, they come again
        QVERIFY(peer.connected());
    }
};

KESTRAL_TEST_MAIN(TestServerDefences)
#include "tst_serverdefences.moc"

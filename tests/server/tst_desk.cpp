// Requests of one connection handled by the local server without sockets, the
// simulated bar history, and the account service's answers.
#include "desk.h"
#include "serverapp.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace tradeserver;

namespace {

constexpr qint64 nowMs = 1700000000000;

QJsonObject object(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text).replace('\'', '"')).object();
}

struct DeskFixture
{
    DeskFixture()
        : desk(defaultInstruments(), 7, "+02:00", nowMs, [] { return nowMs / 1000; })
    {
        desk.engine().createAccount("Tester", "main", "view", 10000.0, 100, 500);
    }

    QList<QJsonObject> send(const char *text) { return desk.handle(session, object(text), &changed); }
    bool logIn(const char *password)
    {
        return send(QByteArray("{'req_code':1,'id':500,'password':'") + password + "','type':3}")
                   .value(0)
                   .value("state")
                   .toInt() == 1;
    }

    Desk desk;
    SessionState session;
    QSet<qint64> changed;
};

QStringList codes(const QList<QJsonObject> &replies)
{
    QStringList list;
    for (const QJsonObject &reply : replies) {
        list << QString::number(reply.value("res_code").toInt()) +
                    (reply.contains("status") ? QStringLiteral("/%1").arg(reply.value("status").toInt()) : QString());
    }
    return list;
}

} // namespace

class TestDesk : public QObject
{
    Q_OBJECT

private slots:
    void logsIn_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("replies");
        QTest::newRow("main password") << "{'req_code':1,'id':500,'password':'main','type':3}" << false << "1,8";
        QTest::newRow("read-only password") << "{'req_code':1,'id':500,'password':'view','type':3}" << true << "1,8";
        QTest::newRow("wrong password") << "{'req_code':1,'id':500,'password':'Main','type':3}" << false << "1";
        QTest::newRow("unknown account") << "{'req_code':1,'id':501,'password':'main','type':3}" << false << "1";
        QTest::newRow("login as text") << "{'req_code':1,'id':'500','password':'main','type':3}" << false << "1";
        QTest::newRow("empty password never matches") << "{'req_code':1,'id':500,'password':''}" << false << "1";
        QTest::newRow("other requests before a login are ignored")
            << "{'req_code':4,'type':5,'login':500}" << false << "";
    }
    void logsIn()
    {
        QFETCH(QString, request);
        QFETCH(QString, replies);
        DeskFixture f;
        const QList<QJsonObject> answer = f.send(request.toUtf8().constData());
        QCOMPARE(codes(answer).join(','), replies);
        if (replies == "1,8") {
            QCOMPARE(answer.at(0).value("state").toInt(), 1);
            QTEST(answer.at(0).value("is_investor_password").toBool(), "readOnly");
            QCOMPARE(answer.at(0).value("timezone").toString(), QString("+02:00"));
            QCOMPARE(answer.at(0).value("login").toVariant().toLongLong(), 500);
            QCOMPARE(answer.at(1).value("array").toArray().size(), defaultInstruments().size());
        }
        QCOMPARE(f.session.login, replies == "1,8" ? 500 : 0);
        QCOMPARE(f.session.failedLogins, replies == "1" ? 1 : 0);
    }

    void answersTradeRequests_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("replies");

        const QString buy("{'req_code':4,'type':0,'order_type':0,'volume':1000,'symbol':'EURUSD'");
        QTest::newRow("a market buy is done and pushed") << false << buy + "}" << true << "7/10009";
        QTest::newRow("read-only logins may not trade") << true << buy + "}" << false << "7/10017";
        QTest::newRow("another account's login is refused") << false << buy + ",'login':501}" << false << "7/10013";
        QTest::newRow("type 5 asks for positions and orders, also read-only")
            << true << "{'req_code':4,'type':5,'login':500,'is_last':1}" << false << "4,6";
        QTest::newRow("volume as text is no volume")
            << false << "{'req_code':4,'type':0,'order_type':0,'volume':'1000','symbol':'EURUSD'}" << false
            << "7/10014";
        QTest::newRow("a fractional volume is no volume")
            << false << "{'req_code':4,'type':0,'order_type':0,'volume':1000.5,'symbol':'EURUSD'}" << false
            << "7/10014";
        QTest::newRow("trade history") << false << "{'req_code':5,'from':0,'to':-1}" << false << "5";
        QTest::newRow("unknown request codes are ignored") << false << "{'req_code':9}" << false << "";
    }
    void answersTradeRequests()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, request);
        DeskFixture f;
        QVERIFY(f.logIn(readOnly ? "view" : "main"));
        QTEST(codes(f.send(request.toUtf8().constData())).join(','), "replies");
        QTEST(f.changed.contains(500), "changed");
    }

    void historyHonoursItsRange_data()
    {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<int>("deals"); // the deposit, then the buy

        const qint64 now = nowMs / 1000;
        QTest::newRow("everything") << qint64(0) << qint64(-1) << 2;
        QTest::newRow("up to now") << qint64(0) << now << 2;
        QTest::newRow("ending before") << qint64(0) << now - 1 << 0;
        QTest::newRow("starting after") << now + 1 << qint64(-1) << 0;
    }
    void historyHonoursItsRange()
    {
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(int, deals);

        DeskFixture f;
        QVERIFY(f.logIn("main"));
        f.send("{'req_code':4,'type':0,'order_type':0,'volume':100,'symbol':'EURUSD'}");
        const QJsonObject request{{"req_code", 5}, {"from", from}, {"to", to}};
        const QJsonObject reply = f.desk.handle(f.session, request, &f.changed).value(0);
        const QJsonArray array = reply.value("deals").toArray();
        QCOMPARE(array.size(), deals);
        if (deals == 2) {
            QCOMPARE(array.at(0).toObject().value("type").toInt(), 2);
            QCOMPARE(array.at(0).toObject().value("profit").toDouble(), 10000.0);
            QCOMPARE(array.at(1).toObject().value("volume").toInt(), 100);
        }
    }

    void barTimes_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<int>("period");
        QTest::addColumn<qint64>("start");

        QTest::newRow("M1") << qint64(1700000059) << 1 << qint64(1700000040);
        QTest::newRow("H1 at 10:59:59") << qint64(1699999199) << 60 << qint64(1699995600);
        QTest::newRow("H1 at 11:00:00") << qint64(1699999200) << 60 << qint64(1699999200);
        QTest::newRow("D1") << qint64(1700000000) << 1440 << qint64(1699920000);
        QTest::newRow("MN is the calendar month") << qint64(1700000000) << 40000 << qint64(1698796800);
    }
    void barTimes()
    {
        QFETCH(qint64, seconds);
        QFETCH(int, period);
        QTEST(PriceFeed::barTime(seconds, period), "start");
    }

    void chartHistoryEndsAtThePrice_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("period");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<bool>("bars"); // false: an empty "array"

        for (int period : {1, 5, 15, 30, 60, 240, 1440, 10080, 40000})
            QTest::newRow(qPrintable(QString::number(period))) << "GBPUSD" << period << qint64(-1) << true;
        QTest::newRow("unknown symbol") << "NOPE" << 60 << qint64(-1) << false;
        QTest::newRow("not a chart period") << "GBPUSD" << 7 << qint64(-1) << false;
        QTest::newRow("range before the first bar") << "GBPUSD" << 60 << qint64(1000) << false;
    }
    void chartHistoryEndsAtThePrice()
    {
        QFETCH(QString, symbol);
        QFETCH(int, period);
        QFETCH(qint64, to);
        QFETCH(bool, bars);

        DeskFixture f;
        QVERIFY(f.logIn("main"));
        const QJsonObject request{{"req_code", 3}, {"symbol", symbol}, {"interval", period}, {"from", 0}, {"to", to}};
        const QJsonObject reply = f.desk.handle(f.session, request, &f.changed).value(0);
        QCOMPARE(reply.value("res_code").toInt(), 3);
        QCOMPARE(reply.value("symbol").toString(), symbol);
        QCOMPARE(reply.value("interval").toInt(), period);
        const QJsonArray array = reply.value("array").toArray();
        QCOMPARE(array.size() > 100, bars);
        QCOMPARE(array.isEmpty(), !bars);
        if (!bars)
            return;
        qint64 previous = 0;
        for (const QJsonValue &value : array) {
            const QJsonObject bar = value.toObject();
            const qint64 time = bar.value("datetime").toVariant().toLongLong();
            QVERIFY(time > previous);
            QCOMPARE(PriceFeed::barTime(time, period), time);
            QVERIFY(bar.value("high").toDouble() >= qMax(bar.value("open").toDouble(), bar.value("close").toDouble()));
            QVERIFY(bar.value("low").toDouble() <= qMin(bar.value("open").toDouble(), bar.value("close").toDouble()));
            previous = time;
        }
        QCOMPARE(previous, PriceFeed::barTime(nowMs / 1000, period));
        QCOMPARE(array.last().toObject().value("close").toDouble(), f.desk.engine().quote("GBPUSD").bid);
    }

    void ticksExtendTheBars()
    {
        DeskFixture f;
        QVERIFY(f.logIn("main"));
        f.send("{'req_code':3,'symbol':'EURUSD','interval':1,'from':0,'to':-1}");
        QSet<qint64> changed;
        QJsonObject last;
        // Two minutes of ticks at 100 ms.
        for (qint64 t = nowMs + 100; t <= nowMs + 120000; t += 100) {
            for (const QJsonObject &tick : f.desk.advance(t, &changed)) {
                QCOMPARE(tick.value("res_code").toInt(), 2);
                if (tick.value("symbol") == "EURUSD")
                    last = tick;
            }
        }
        QVERIFY(!last.isEmpty());
        QVERIFY(last.value("ask").toDouble() > last.value("bid").toDouble());
        QCOMPARE(last.value("server_time").toInt() - last.value("timestamp").toInt(), 7200);
        const QVector<Bar> bars = f.desk.feed().history("EURUSD", 1, 0, -1);
        QCOMPARE(bars.last().time, PriceFeed::barTime(last.value("timestamp").toInt(), 1));
        QCOMPARE(bars.last().close, last.value("bid").toDouble());
    }

    void loadFeedsTheAskedSymbolsAndRate_data()
    {
        QTest::addColumn<int>("symbols");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("lastSymbol");
        QTest::addColumn<int>("minTicks");
        QTest::addColumn<int>("maxTicks");
        // Ten seconds at 100 ms per step.
        QTest::newRow("cut, slow") << 3 << 1.0 << "USDJPY" << 30 << 100;
        QTest::newRow("filled up, every step") << 300 << 10.0 << "SYN0270" << 300 * 100 << 300 * 100;
    }

    void loadFeedsTheAskedSymbolsAndRate()
    {
        QFETCH(int, symbols);
        QFETCH(double, rate);
        QFETCH(QString, lastSymbol);
        QFETCH(int, minTicks);
        QFETCH(int, maxTicks);
        const QVector<Instrument> list = instruments(symbols);
        QCOMPARE(list.size(), symbols);
        QCOMPARE(list.last().symbol, lastSymbol);
        QSet<QString> names;
        for (const Instrument &instrument : list)
            names.insert(instrument.symbol);
        QCOMPARE(names.size(), symbols);

        Desk desk(list, 3, "+00:00", nowMs);
        desk.feed().setTicksPerSecond(rate);
        QSet<qint64> changed;
        int ticks = 0;
        for (qint64 t = nowMs + 100; t <= nowMs + 10000; t += 100)
            ticks += desk.advance(t, &changed).size();
        QVERIFY2(ticks >= minTicks && ticks <= maxTicks, qPrintable(QString::number(ticks)));
    }

    void accountServiceAnswers_data()
    {
        QTest::addColumn<QString>("request"); // method, path, body
        QTest::addColumn<int>("status");

        QTest::newRow("a demo account")
            << R"(POST /account/create {"name":"Ann","email":"a@b.c","deposit":5000,"leverage":200})" << 200;
        QTest::newRow("no name") << R"(POST /account/create {"deposit":5000,"leverage":200})" << 400;
        QTest::newRow("deposit 0") << R"(POST /account/create {"name":"Ann","deposit":0,"leverage":200})" << 400;
        QTest::newRow("deposit as text") << R"(POST /account/create {"name":"Ann","deposit":"5000","leverage":200})"
                                         << 400;
        QTest::newRow("leverage 1:5000") << R"(POST /account/create {"name":"Ann","deposit":5000,"leverage":5000})"
                                         << 400;
        QTest::newRow("a body that is not JSON") << "POST /account/create name=Ann" << 400;
        QTest::newRow("a JSON array") << "POST /account/create []" << 400;
        QTest::newRow("GET") << "GET /account/create " << 405;
        QTest::newRow("unknown path") << "POST /account/delete {}" << 404;
        QTest::newRow("a password change while nobody is logged in")
            << R"(POST /account/update {"master_password":"x","dealer":100001,"manager_login":1000})" << 403;
        QTest::newRow("a password change naming both passwords")
            << R"(POST /account/update {"master_password":"x","investor_password":"y","dealer":100001})" << 400;
        QTest::newRow("an empty new password")
            << R"(POST /account/update {"investor_password":"","dealer":100001})" << 400;
    }
    void accountServiceAnswers()
    {
        QFETCH(QString, request);
        QFETCH(int, status);
        const QStringList parts = request.split(' ');
        const QByteArray body = parts.mid(2).join(' ').toUtf8();
        ServerApp app(ServerOptions{});
        const HttpReply reply =
            app.accountService({parts[0].toUtf8(), parts[1].toUtf8(), body.isEmpty() ? QByteArray() : body});
        QCOMPARE(reply.status, status);
        const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
        if (status != 200) {
            QVERIFY(!answer.value("error").toString().isEmpty());
            QCOMPARE(app.desk().engine().authenticate(100001, "demo123"), Access::Full);
            return;
        }
        const qint64 login = answer.value("login").toVariant().toLongLong();
        QCOMPARE(app.desk().engine().authenticate(login, answer.value("password").toString()), Access::Full);
        QCOMPARE(app.desk().engine().authenticate(login, answer.value("investor_password").toString()),
                 Access::ReadOnly);
        QCOMPARE(app.desk().engine().account(login)->balance, 5000.0);
        QCOMPARE(app.desk().engine().account(login)->leverage, 200);
    }
};

KESTRAL_TEST_MAIN(TestDesk)
#include "tst_desk.moc"

// Requests of one connection handled by the local server without sockets, and the
// simulated prices and bar history.
#include "desk.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace tradeserver;

namespace {

constexpr qint64 nowMs = 1700000000000;
const QString mainLogin("{'req_code':1,'id':500,'password':'main','type':3}");
const QString viewLogin("{'req_code':1,'id':500,'password':'view','type':3}");

struct DeskFixture
{
    DeskFixture()
        : desk(defaultInstruments(), 7, "+02:00", nowMs, [this] { return clock; })
    {
        desk.engine().createAccount("Tester", "main", "view", 10000.0, 100, 500);
    }

    // Single quotes stand for double ones, to keep the requests readable.
    QList<QJsonObject> send(QString text)
    {
        return desk.handle(session, QJsonDocument::fromJson(text.replace('\'', '"').toUtf8()).object(), &changed);
    }

    qint64 clock = nowMs / 1000;
    Desk desk;
    SessionState session;
    QSet<qint64> changed;
};

// Each reply as its code, then its status, how a login went or how many entries it lists.
QString summary(const QList<QJsonObject> &replies)
{
    QStringList list;
    for (const QJsonObject &reply : replies) {
        QString text = QString::number(reply.value("res_code").toInt()) + '/';
        if (reply.contains("status"))
            text += QString::number(reply.value("status").toInt());
        else if (reply.value("is_investor_password").toBool())
            text += "read-only";
        else if (reply.contains("state")) // a login: the server's time zone once accepted
            text += reply.value("state").toInt() == 1 ? reply.value("timezone").toString() : "refused";
        else
            text += QString::number(reply.value(reply.contains("deals") ? "deals" : "array").toArray().size());
        list << text;
    }
    return list.join(',');
}

} // namespace

class TestDesk : public QObject
{
    Q_OBJECT

private slots:
    void answersRequests_data()
    {
        QTest::addColumn<QStringList>("requests"); // the replies to the last one count
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("replies");

        const auto login = [](const char *id, const char *password) {
            return QStringList{QStringLiteral("{'req_code':1,'id':%1,'password':'%2'}").arg(id, password)};
        };
        QTest::newRow("main password") << login("500", "main") << false << "1/+02:00,8/30";
        QTest::newRow("read-only password") << login("500", "view") << false << "1/read-only,8/30";
        QTest::newRow("wrong password") << login("500", "Main") << false << "1/refused";
        QTest::newRow("unknown account") << login("501", "main") << false << "1/refused";
        QTest::newRow("login as text") << login("'500'", "main") << false << "1/refused";
        QTest::newRow("other requests before a login are ignored")
            << QStringList{"{'req_code':4,'type':5,'login':500}"} << false << "";

        const QString buy("{'req_code':4,'type':0,'order_type':0,'volume':1000,'symbol':'EURUSD'");
        QTest::newRow("a market buy is done and pushed") << QStringList{mainLogin, buy + "}"} << true << "7/10009";
        QTest::newRow("read-only logins may not trade") << QStringList{viewLogin, buy + "}"} << false << "7/10017";
        QTest::newRow("another account's login is refused")
            << QStringList{mainLogin, buy + ",'login':501}"} << false << "7/10013";
        QTest::newRow("type 5 asks for positions and orders, also read-only")
            << QStringList{viewLogin, "{'req_code':4,'type':5,'login':500,'is_last':1}"} << false << "4/0,6/0";
        QTest::newRow("volume as text is no volume")
            << QStringList{mainLogin, "{'req_code':4,'type':0,'order_type':0,'volume':'1000','symbol':'EURUSD'}"}
            << false << "7/10014";
        QTest::newRow("a fractional volume is no volume")
            << QStringList{mainLogin, "{'req_code':4,'type':0,'order_type':0,'volume':1000.5,'symbol':'EURUSD'}"}
            << false << "7/10014";
        QTest::newRow("unknown request codes are ignored") << QStringList{mainLogin, "{'req_code':9}"} << false << "";

        // The deposit and the buy are booked at 1700000000.
        const QString history("{'req_code':5,'from':%1,'to':%2}");
        QTest::newRow("all history") << QStringList{mainLogin, buy + "}", history.arg(0).arg(-1)} << true << "5/2";
        QTest::newRow("history up to now")
            << QStringList{mainLogin, buy + "}", history.arg(0).arg(1700000000)} << true << "5/2";
        QTest::newRow("history ending before")
            << QStringList{mainLogin, buy + "}", history.arg(0).arg(1699999999)} << true << "5/0";
        QTest::newRow("history starting after")
            << QStringList{mainLogin, buy + "}", history.arg(1700000001).arg(-1)} << true << "5/0";

        const QString chart("{'req_code':3,'symbol':'%1','interval':%2,'from':0,'to':%3}");
        QTest::newRow("chart of an unknown symbol")
            << QStringList{mainLogin, chart.arg("NOPE").arg(60).arg(-1)} << false << "3/0";
        QTest::newRow("chart of no chart period")
            << QStringList{mainLogin, chart.arg("GBPUSD").arg(7).arg(-1)} << false << "3/0";
        QTest::newRow("chart range before the first bar")
            << QStringList{mainLogin, chart.arg("GBPUSD").arg(60).arg(1000)} << false << "3/0";
    }
    void answersRequests()
    {
        QFETCH(QStringList, requests);
        DeskFixture f;
        QList<QJsonObject> replies;
        for (const QString &request : std::as_const(requests))
            replies = f.send(request);
        QTEST(summary(replies), "replies");
        QTEST(f.changed.contains(500), "changed");
    }

    void guessesAreThrottledPerAccount_data()
    {
        QTest::addColumn<int>("failures"); // each on a new connection, once the last delay ran out
        QTest::addColumn<int>("waited");   // seconds before the right password
        QTest::addColumn<bool>("cleared"); // the right password went in after the third
        QTest::addColumn<QString>("reply");

        QTest::newRow("three slips cost nothing") << 3 << 0 << false << "1/+02:00,8/30";
        QTest::newRow("the fourth costs a second") << 4 << 0 << false << "1/refused";
        QTest::newRow("a success in between starts afresh") << 4 << 0 << true << "1/+02:00,8/30";
        QTest::newRow("the sixth costs four seconds") << 6 << 3 << false << "1/refused";
        QTest::newRow("after four seconds") << 6 << 4 << false << "1/+02:00,8/30";
        QTest::newRow("never more than a minute") << 20 << 60 << false << "1/+02:00,8/30";
    }
    void guessesAreThrottledPerAccount()
    {
        QFETCH(int, failures);
        QFETCH(int, waited);
        QFETCH(bool, cleared);
        DeskFixture f;
        for (int i = 0; i < failures; ++i) {
            f.session = {};
            if (cleared && i == LoginThrottle::freeFailures)
                f.send(mainLogin);
            QCOMPARE(summary(f.send("{'req_code':1,'id':500,'password':'guess'}")), QString("1/refused"));
            f.clock += LoginThrottle::maxDelaySeconds;
        }
        f.clock += waited - LoginThrottle::maxDelaySeconds;
        f.session = {};
        QTEST(summary(f.send(mainLogin)), "reply");
    }

    void chartHistoryEndsAtThePrice_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<qint64>("lastBar"); // the bar that holds 2023-11-14 22:13:20 UTC

        QTest::newRow("M1") << 1 << qint64(1699999980);
        QTest::newRow("D1") << 1440 << qint64(1699920000);
        QTest::newRow("MN is the calendar month") << 40000 << qint64(1698796800);
    }
    void chartHistoryEndsAtThePrice()
    {
        QFETCH(int, period);
        DeskFixture f;
        f.send(mainLogin);
        const QString request("{'req_code':3,'symbol':'GBPUSD','interval':%1,'from':0,'to':-1}");
        const QJsonArray array = f.send(request.arg(period)).value(0).value("array").toArray();
        qint64 previous = 0;
        for (const QJsonValue &value : array) {
            const QJsonObject bar = value.toObject();
            const qint64 time = bar.value("datetime").toVariant().toLongLong();
            QVERIFY(time > previous && PriceFeed::barTime(time, period) == time);
            QVERIFY(bar.value("high").toDouble() >= qMax(bar.value("open").toDouble(), bar.value("close").toDouble()));
            QVERIFY(bar.value("low").toDouble() <= qMin(bar.value("open").toDouble(), bar.value("close").toDouble()));
            previous = time;
        }
        QTEST(previous, "lastBar");
        QCOMPARE(array.last().toObject().value("close").toDouble(), f.desk.engine().quote("GBPUSD").bid);
    }

    void ticksExtendTheBars()
    {
        Desk desk(instruments(2), 7, "+02:00", nowMs);
        desk.feed().setTicksPerSecond(10.0); // every symbol ticks on every step 100 ms apart
        desk.feed().history("EURUSD", 1, 0, -1);
        QSet<qint64> changed;
        QJsonObject last;
        for (qint64 t = nowMs + 100; t <= nowMs + 70000; t += 100) {
            for (const QJsonObject &tick : desk.advance(t, &changed))
                if (tick.value("symbol") == "EURUSD")
                    last = tick;
        }
        QCOMPARE(last.value("server_time").toInt() - last.value("timestamp").toInt(), 7200);
        const QVector<Bar> bars = desk.feed().history("EURUSD", 1, 0, -1);
        QCOMPARE(bars.last().time, PriceFeed::barTime(last.value("timestamp").toInt(), 1));
        QCOMPARE(bars.last().close, last.value("bid").toDouble());
    }
};

KESTRAL_TEST_MAIN(TestDesk)
#include "tst_desk.moc"

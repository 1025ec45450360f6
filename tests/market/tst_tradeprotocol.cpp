// Parsing and dispatch of trade-server frames, fed as texts without a socket.
#include "appglobals.h"
#include "journalrecorder.h"
#include "pricedatabuffer.h"
#include "testmain.h"
#include "tradeclient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <memory>
#include <vector>

namespace {

// JSON written with single quotes, for readable rows.
QString json(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1Char('"'));
}

QJsonObject object(const char *text)
{
    return QJsonDocument::fromJson(json(text).toUtf8()).object();
}

// One spy per reply signal, in reply-code order 3 to 8.
struct ReplySpies
{
    explicit ReplySpies(TradeClient *client)
    {
        spies.emplace_back(new QSignalSpy(client, &TradeClient::chartHistoryReceived));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::openPositionsReceived));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::tradeHistoryReceived));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::pendingOrdersReceived));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::tradeResponseReceived));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::symbolListReceived));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::loginSuccess));
        spies.emplace_back(new QSignalSpy(client, &TradeClient::loginFail));
    }
    int total() const
    {
        int sum = 0;
        for (const auto &spy : spies)
            sum += spy->count();
        return sum;
    }
    std::vector<std::unique_ptr<QSignalSpy>> spies;
};

} // namespace

class TestTradeProtocol : public QObject
{
    Q_OBJECT

private slots:
    void init() { readOnlyMode = false; }

    void parsesObjectsOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QJsonObject>("expected");

        // happy flows
        QTest::newRow("a compact object")
            << json("{'res_code':7,'status':10009,'msg':'Done'}") << object("{'res_code':7,'status':10009,'msg':'Done'}");
        QTest::newRow("blanks and line breaks are fine")
            << "{ \"res_code\" : 2,\n \"symbol\" : \"EURUSD\" }" << object("{'res_code':2,'symbol':'EURUSD'}");
        QTest::newRow("non-ASCII text survives") << json("{'msg':'İşlem tamamlandı'}")
                                                 << QJsonObject{{"msg", QStringLiteral("İşlem tamamlandı")}};
        // rainy day flows
        QTest::newRow("empty text gives an empty object") << QString() << QJsonObject();
        QTest::newRow("garbage gives an empty object") << "not json at all" << QJsonObject();
        QTest::newRow("a truncated object gives an empty object") << json("{'res_code':2,'symbol':'EUR") << QJsonObject();
        QTest::newRow("an array gives an empty object") << json("[{'res_code':2}]") << QJsonObject();
        QTest::newRow("a bare number gives an empty object") << "42" << QJsonObject();
        QTest::newRow("trailing garbage gives an empty object") << json("{'res_code':2} x") << QJsonObject();
    }
    void parsesObjectsOnly()
    {
        QFETCH(QString, text);
        QFETCH(QJsonObject, expected);
        QCOMPARE(TradeClient::parseMessage(text), expected);
    }

    void dispatchesRepliesByCode_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<int>("spyIndex"); // -1: nothing may be emitted

        // happy flows
        QTest::newRow("3 is chart history")
            << object("{'res_code':3,'symbol':'EURUSD','interval':60,'array':[{'datetime':1700000000,'open':1.1}]}") << 0;
        QTest::newRow("4 is open positions")
            << object("{'res_code':4,'balance':1000.5,'is_last':1,'array':[{'ticket':5000000000}]}") << 1;
        QTest::newRow("5 is trade history") << object("{'res_code':5,'positions':[],'orders':[],'deals':[]}") << 2;
        QTest::newRow("6 is pending orders") << object("{'res_code':6,'array':[{'ticket':7,'type':2}]}") << 3;
        QTest::newRow("7 is a trade result")
            << object("{'res_code':7,'status':10009,'msg':'Done','type':0,'fail_reason':''}") << 4;
        QTest::newRow("8 is the symbol list") << object("{'res_code':8,'array':[{'symbol':'EURUSD','min_vol':100}]}")
                                              << 5;
        QTest::newRow("a login reply with state 1 succeeds") << object("{'res_code':1,'state':1}") << 6;
        QTest::newRow("any non-zero state counts as success") << object("{'res_code':1,'state':-2}") << 6;
        QTest::newRow("a login reply with state 0 fails") << object("{'res_code':1,'state':0}") << 7;
        QTest::newRow("a login reply without state fails") << object("{'res_code':1}") << 7;
        // rainy day flows
        QTest::newRow("an unknown code is ignored") << object("{'res_code':9,'array':[]}") << -1;
        QTest::newRow("code 0 is ignored") << object("{'res_code':0}") << -1;
        QTest::newRow("an empty object is ignored") << QJsonObject() << -1;
        QTest::newRow("a code written as text is ignored") << object("{'res_code':'7'}") << -1;
        QTest::newRow("a fractional code is ignored") << object("{'res_code':7.5}") << -1;
        QTest::newRow("a tick without a batcher is dropped") << object("{'res_code':2,'symbol':'EURUSD'}") << -1;
    }
    void dispatchesRepliesByCode()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(int, spyIndex);

        TradeClient client;
        ReplySpies spies(&client);
        client.dispatchMessage(reply);
        QCOMPARE(spies.total(), spyIndex < 0 ? 0 : 1);
        if (spyIndex < 0)
            return;
        QSignalSpy &spy = *spies.spies.at(spyIndex);
        QCOMPARE(spy.count(), 1);
        if (!spy.first().isEmpty())
            QCOMPARE(spy.first().first().toJsonObject(), reply);
    }

    void appliesTheLoginReply_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<int>("zoneOffset");
        QTest::addColumn<QString>("journalLine");

        QTest::newRow("main password with a zone")
            << object("{'res_code':1,'state':1,'is_investor_password':false,'timezone':'+03:00'}") << false << true << 10800
            << "Terminal: 0 login to  successfully ";
        QTest::newRow("read-only password")
            << object("{'res_code':1,'state':1,'is_investor_password':true,'timezone':'-05:30'}") << true << true << -19800
            << "Terminal: 0 login to  successfully ";
        QTest::newRow("no investor flag means full trading, no zone means UTC")
            << object("{'res_code':1,'state':1}") << false << true << 0 << "Terminal: 0 login to  successfully ";
        QTest::newRow("a failed login changes neither mode nor zone")
            << object("{'res_code':1,'state':0,'is_investor_password':true,'timezone':'+03:00'}") << false << false << 0
            << "Terminal: 0 login failed to ";
    }
    void appliesTheLoginReply()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(bool, readOnly);
        QFETCH(bool, succeeds);
        QFETCH(int, zoneOffset);
        QFETCH(QString, journalLine);

        JournalRecorder journal;
        TradeClient client;
        client.dispatchMessage(reply);
        QCOMPARE(readOnlyMode.load(), readOnly);
        QCOMPARE(client.timeZone().isValid(), succeeds);
        if (succeeds)
            QCOMPARE(client.timeZone().offsetFromUtc(QDateTime::currentDateTimeUtc()), zoneOffset);
        QTRY_COMPARE(journal.lines(), QStringList{journalLine});

        // Only a logged-in client keeps still on a repeated request for the same account.
        QCOMPARE(client.connectToServer(QString(), 0, QString(), QString()), false);
        QCOMPARE(client.isRunning(), !succeeds);
    }

    void modeFollowsTheLatestLogin()
    {
        TradeClient client;
        client.dispatchMessage(object("{'res_code':1,'state':1,'is_investor_password':true}"));
        QVERIFY(readOnlyMode);
        client.dispatchMessage(object("{'res_code':1,'state':1,'is_investor_password':false}"));
        QVERIFY(!readOnlyMode);
    }

    void scalesTicks_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<TickData>("expected");

        TickData volumeOnly;
        volumeOnly.symbol = "EURUSD";
        volumeOnly.bid = 1.1;
        volumeOnly.ask = 1.2;
        volumeOnly.volume = 15.0;
        QTest::newRow("volume in lots, missing times are zero")
            << object("{'res_code':2,'symbol':'EURUSD','bid':1.1,'ask':1.2,'volume':150000}") << volumeOnly;

        TickData full;
        full.symbol = "XAUUSD";
        full.timestamp = 4102444800;       // beyond 32 bits
        full.serverTime = 4102455600;
        full.tmMs = 4102444800123;
        full.bid = 2034.15;
        full.ask = 2034.45;
        full.volume = 0.01;
        full.digits = 2;
        full.minVol = 0.01;
        full.maxVol = 100.0;
        full.stepVol = 0.01;
        full.bidHigh = 2040.0;
        full.bidLow = 2020.5;
        full.askHigh = 2040.3;
        full.askLow = 2020.8;
        QTest::newRow("every key, 64-bit times kept exactly")
            << object("{'res_code':2,'symbol':'XAUUSD','timestamp':4102444800,'server_time':4102455600,"
                      "'tm_ms':4102444800123,'bid':2034.15,'ask':2034.45,'volume':100,'digits':2,'min_vol':100,"
                      "'max_vol':1000000,'step_vol':100,'bid_high':2040.0,'bid_low':2020.5,'ask_high':2040.3,'ask_low':2020.8}")
            << full;

        TickData wrongTypes;
        wrongTypes.symbol = "EURUSD";
        QTest::newRow("values of the wrong type read as zero")
            << object("{'res_code':2,'symbol':'EURUSD','bid':'1.1','volume':'150000','digits':null,'timestamp':'x'}")
            << wrongTypes;
    }
    void scalesTicks()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(TickData, expected);

        PriceDataBuffer buffer;
        buffer.setInterval(10);
        buffer.beginTimer();
        TradeClient client;
        client.priceBuffer = &buffer;
        QSignalSpy spy(&buffer, &PriceDataBuffer::tickUpdated);
        client.dispatchMessage(reply);
        QVERIFY(spy.wait(1000));
        const auto ticks = spy.first().first().value<QList<TickData>>();
        QCOMPARE(ticks.size(), 1);
        const TickData &tick = ticks.first();
        QCOMPARE(tick.symbol, expected.symbol);
        QCOMPARE(tick.timestamp, expected.timestamp);
        QCOMPARE(tick.serverTime, expected.serverTime);
        QCOMPARE(tick.tmMs, expected.tmMs);
        QCOMPARE(tick.bid, expected.bid);
        QCOMPARE(tick.ask, expected.ask);
        QCOMPARE(tick.volume, expected.volume);
        QCOMPARE(tick.digits, expected.digits);
        QCOMPARE(tick.minVol, expected.minVol);
        QCOMPARE(tick.maxVol, expected.maxVol);
        QCOMPARE(tick.stepVol, expected.stepVol);
        QCOMPARE(tick.bidHigh, expected.bidHigh);
        QCOMPARE(tick.bidLow, expected.bidLow);
        QCOMPARE(tick.askHigh, expected.askHigh);
        QCOMPARE(tick.askLow, expected.askLow);
    }

    void forgetsADestroyedBatcher()
    {
        TradeClient client;
        auto buffer = std::make_unique<PriceDataBuffer>();
        buffer->beginTimer();
        client.priceBuffer = buffer.get();
        buffer.reset();
        QCOMPARE(client.priceBuffer.load(), nullptr);
        client.dispatchMessage(object("{'res_code':2,'symbol':'EURUSD','bid':1.1}"));
    }

    void sendsNothingWithoutAConnection_data()
    {
        QTest::addColumn<qint64>("login");
        QTest::newRow("no account set") << qint64(0);
        QTest::newRow("account set but thread never started") << qint64(1001);
    }
    void sendsNothingWithoutAConnection()
    {
        QFETCH(qint64, login);
        JournalRecorder journal;
        TradeClient client;
        client.login = login;
        client.sendRequest(QJsonObject{{"req_code", 3}, {"symbol", "EURUSD"}});
        client.enqueueMessage(QStringLiteral("{'req_code':4,'type':9,'login':1001}"));
        client.requestTradeHistory(-1);
        // Dropped without notice, and nothing left behind for a later connection.
        QCoreApplication::processEvents();
        QVERIFY(journal.lines().isEmpty());
    }
};

KESTRAL_TEST_MAIN(TestTradeProtocol)
#include "tst_tradeprotocol.moc"

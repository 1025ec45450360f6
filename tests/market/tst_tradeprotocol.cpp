// Parsing and dispatch of trade-server frames, fed as texts without a socket.
#include "appglobals.h"
#include "testmain.h"
#include "tradesession.h"

#include <QJsonDocument>
#include <memory>
#include <vector>

namespace {

// JSON written with single quotes, for readable rows.
const auto json = [](const char *text) { return QString::fromUtf8(text).replace('\'', '"'); };
const auto object = [](const char *text) { return QJsonDocument::fromJson(json(text).toUtf8()).object(); };

QString fields(const TickData &t)
{
    return QStringLiteral("%1 %2/%3/%4 %5/%6 vol %7 digits %8 lots %9/%10/%11 bid %12-%13 ask %14-%15")
        .arg(t.symbol).arg(t.timestamp).arg(t.serverTime).arg(t.tmMs).arg(t.bid).arg(t.ask).arg(t.volume)
        .arg(t.digits).arg(t.minVol).arg(t.maxVol).arg(t.stepVol).arg(t.bidLow).arg(t.bidHigh).arg(t.askLow)
        .arg(t.askHigh);
}

} // namespace

class TestTradeProtocol : public QObject
{
    Q_OBJECT

private slots:
    // Texts as they come off the wire: each reply code reaches its own signal, and
    // nothing else reaches any.
    void dispatchesRepliesByCode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("signal"); // empty: nothing may be emitted

        QTest::newRow("3 is chart history") << json("{'res_code':3,'symbol':'EURUSD','interval':60}") << "chartHistoryReceived";
        QTest::newRow("4 is open positions") << json("{'res_code':4,'is_last':1}") << "openPositionsReceived";
        QTest::newRow("5 is trade history") << json("{'res_code':5,'deals':[]}") << "tradeHistoryReceived";
        QTest::newRow("6 is pending orders") << json("{'res_code':6,'array':[]}") << "pendingOrdersReceived";
        QTest::newRow("7 is a trade result, non-ASCII text intact")
            << json("{'res_code':7,'msg':'İşlem tamamlandı'}") << "tradeResponseReceived";
        QTest::newRow("8 is the symbol list") << json("{'res_code':8,'array':[]}") << "symbolListReceived";
        QTest::newRow("a login reply with state 1 succeeds") << json("{'res_code':1,'state':1}") << "loginSuccess";
        QTest::newRow("a login reply with state 0 fails") << json("{'res_code':1,'state':0}") << "loginFail";
        QTest::newRow("any non-zero state counts as success") << json("{'res_code':1,'state':-2}") << "loginSuccess";
        QTest::newRow("a login reply without state fails") << json("{'res_code':1}") << "loginFail";
        QTest::newRow("a code written as text is ignored") << json("{'res_code':'7'}") << "";
        QTest::newRow("a fractional code is ignored") << json("{'res_code':7.5}") << "";
        QTest::newRow("an unknown code is ignored") << json("{'res_code':9,'array':[]}") << "";
        QTest::newRow("garbage is ignored") << "not json at all" << "";
        QTest::newRow("an array is ignored") << json("[{'res_code':7}]") << "";
        // Qt's parser would leak the dropped nested value of a repeated key.
        QTest::newRow("a key repeated after a nested value is refused")
            << json("{'res_code':7,'msg':[1],'status':1,'msg':'x'}") << "";
        QTest::newRow("an escaped repeat inside a nested object is refused")
            << json("{'res_code':7,'a':[{'x':{},'\\u0078':1}]}") << "";
        // From 17 members on, Qt does not always keep the last occurrence.
        QTest::newRow("a nested value given last in a long object is refused")
            << json("{'res_code':7," + QByteArray("'k':0,").repeated(16) + "'k':[{}]}") << "";
        QTest::newRow("nested values under other keys and repeated scalars are kept")
            << json("{'res_code':7,'a':[1],'msg':'x','msg':'y'}") << "tradeResponseReceived";
        QTest::newRow("sibling objects may share keys")
            << json("{'res_code':8,'array':[{'symbol':'A','p':[1]},{'symbol':'A','p':[1]}]}") << "symbolListReceived";
    }
    void dispatchesRepliesByCode()
    {
        QFETCH(QString, text);
        QFETCH(QString, signal);

        TradeClient client;
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        const QMetaObject &meta = TradeClient::staticMetaObject;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            if (meta.method(i).methodType() == QMetaMethod::Signal)
                spies.push_back(std::make_unique<QSignalSpy>(&client, "2" + meta.method(i).methodSignature()));
        }
        client.dispatchMessage(TradeClient::parseMessage(text));
        QStringList emitted;
        for (const auto &spy : spies) {
            for (const QList<QVariant> &arguments : std::as_const(*spy)) {
                emitted << QString::fromLatin1(spy->signal().left(spy->signal().indexOf('(')));
                if (!arguments.isEmpty())
                    QCOMPARE(arguments.first().toJsonObject(), QJsonDocument::fromJson(text.toUtf8()).object());
            }
        }
        QCOMPARE(emitted, signal.isEmpty() ? QStringList() : QStringList{signal});
    }

    void appliesTheLoginReply_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<int>("zoneOffset");

        QTest::newRow("main password with a zone")
            << object("{'res_code':1,'state':1,'is_investor_password':false,'timezone':'+03:00'}") << false << true << 10800;
        QTest::newRow("read-only password")
            << object("{'res_code':1,'state':1,'is_investor_password':true,'timezone':'-05:30'}") << true << true << -19800;
        QTest::newRow("no investor flag means full trading, no zone means UTC")
            << object("{'res_code':1,'state':1}") << false << true << 0;
        QTest::newRow("an investor flag in text is read-only")
            << object("{'res_code':1,'state':1,'is_investor_password':'false'}") << true << true << 0;
        QTest::newRow("a failed login changes neither mode nor zone")
            << object("{'res_code':1,'state':0,'is_investor_password':true,'timezone':'+03:00'}") << false << false << 0;
    }
    void appliesTheLoginReply()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(bool, readOnly);
        QFETCH(bool, succeeds);

        // A success must write the mode whichever it was; a failure must leave it.
        readOnlyMode = succeeds ? !readOnly : readOnly;
        JournalRecorder journal;
        TradeClient client;
        client.dispatchMessage(reply);
        QCOMPARE(readOnlyMode.load(), readOnly);
        QCOMPARE(client.timeZone().isValid(), succeeds);
        if (succeeds)
            QTEST(client.timeZone().offsetFromUtc(QDateTime::currentDateTimeUtc()), "zoneOffset");
        QTRY_COMPARE(journal.lines, QStringList{succeeds ? "Terminal: 0 login to  successfully " : "Terminal: 0 login failed to "});
    }

    void scalesTicks_data()
    {
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<QString>("expected");

        QTest::newRow("every key, 64-bit times kept exactly")
            << object("{'res_code':2,'symbol':'XAUUSD','timestamp':4102444800,'server_time':4102455600,"
                      "'tm_ms':4102444800123,'bid':2034.15,'ask':2034.45,'volume':100,'digits':2,'min_vol':100,"
                      "'max_vol':1000000,'step_vol':100,'bid_high':2040.0,'bid_low':2020.5,'ask_high':2040.3,'ask_low':2020.8}")
            << "XAUUSD 4102444800/4102455600/4102444800123 2034.15/2034.45 vol 0.01 digits 2 lots 0.01/100/0.01 "
               "bid 2020.5-2040 ask 2020.8-2040.3";
        QTest::newRow("volume in lots, missing keys are zero")
            << object("{'res_code':2,'symbol':'EURUSD','bid':1.1,'ask':1.2,'volume':150000}")
            << "EURUSD 0/0/0 1.1/1.2 vol 15 digits 0 lots 0/0/0 bid 0-0 ask 0-0";
        QTest::newRow("times beyond the 64-bit range read as zero, digits are bounded")
            << object("{'res_code':2,'symbol':'EURUSD','timestamp':1e300,'server_time':-1e300,'tm_ms':9.3e18,"
                      "'digits':2000000000}")
            << "EURUSD 0/0/0 0/0 vol 0 digits 15 lots 0/0/0 bid 0-0 ask 0-0";
        QTest::newRow("values of the wrong type read as zero")
            << object("{'res_code':2,'symbol':'EURUSD','bid':'1.1','volume':'150000','digits':null,'timestamp':'x'}")
            << "EURUSD 0/0/0 0/0 vol 0 digits 0 lots 0/0/0 bid 0-0 ask 0-0";
    }
    void scalesTicks()
    {
        QFETCH(QJsonObject, reply);
        QTEST(fields(TickData::fromJson(reply)), "expected");
    }
};

KESTRAL_TEST_MAIN(TestTradeProtocol)
#include "tst_tradeprotocol.moc"

// The order dialog against a fake trade server: what each mode sends, the waiting
// state, the reply handling and what the dialog shows.
#include "new_order.h"
#include "ordercontext.h"
#include "testmain.h"
#include "tickgraph.h"
#include "tradesession.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int sentinelCode = 99;

struct Context : OrderContext
{
    TickData getSymbolSetting(const QString &symbol) override { return ticks.value(symbol); }
    Position getPosition(int ticket) override { return ticket == position.ticket ? position : Position(); }
    PendingOrder getOrder(int ticket) override { return ticket == order.ticket ? order : PendingOrder(); }
    QList<Position> getHedgePositions(int ticket) override
    {
        return ticket == position.ticket ? QList<Position>{hedge} : QList<Position>();
    }
    QStringList symbolNames() override { return ticks.keys(); }
    QMap<QString, TickData> ticks;
    Position position, hedge;
    PendingOrder order;
};

TickData tick(const QString &symbol, double bid, double minVol = 0.01, double maxVol = 100, double stepVol = 0.01)
{
    TickData t;
    t.symbol = symbol;
    t.bid = bid;
    t.ask = bid + 0.00015;
    t.digits = 5;
    t.minVol = minVol;
    t.maxVol = maxVol;
    t.stepVol = stepVol;
    return t;
}

bool hasColourNear(const QImage &image, const QRect &area, QColor colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) + qAbs(c.blue() - colour.blue()) < 90)
                return true;
        }
    return false;
}

} // namespace

class TestNewOrder : public QObject
{
    Q_OBJECT

    std::unique_ptr<TradeSession> m_session;
    Context m_context;
    std::unique_ptr<New_Order> m_dialog;

    template <typename T = QWidget> T *child(const QString &name) { return m_dialog->findChild<T *>(name); }

    // The trade requests (req_code 4) the server got while `action` ran and the client's queue drained behind it.
    QList<QJsonObject> requestsDuring(const std::function<void()> &action)
    {
        const int before = m_session->server.requests(4).size();
        const int sentinels = m_session->server.requests(sentinelCode).size();
        action();
        m_session->client.sendRequest({{"req_code", sentinelCode}});
        if (!QTest::qWaitFor([&] { return m_session->server.requests(sentinelCode).size() > sentinels; }, patienceMs))
            QTest::qFail("the client's queue never drained", __FILE__, __LINE__);
        return m_session->server.requests(4).mid(before);
    }

    // Returns once the dialog has handled the reply: its journal line is written from its slot.
    void reply(const QJsonObject &response)
    {
        const auto handled = [this] {
            return m_session->journal.lines.filter(QRegularExpression("^Trade Response: ")).size();
        };
        const int before = handled();
        m_session->server.send(response);
        QTRY_COMPARE_WITH_TIMEOUT(handled(), before + 1, patienceMs);
    }

    // "name=value" pairs: spin boxes take the number, combo boxes the index;
    // "expiresIn" sets the expiry that many minutes (and half a minute) from now.
    void fill(const QString &setup)
    {
        for (const QString &pair : setup.split(' ', Qt::SkipEmptyParts)) {
            const QString name = pair.section('=', 0, 0);
            const double value = pair.section('=', 1).toDouble();
            if (name == "expiresIn")
                child<QDateTimeEdit>("expiryEdit")->setDateTime(QDateTime::currentDateTime().addSecs(value * 60 + 30));
            else if (auto *spin = child<QDoubleSpinBox>(name))
                spin->setValue(value);
            else
                child<QComboBox>(name)->setCurrentIndex(int(value));
        }
    }

private slots:
    void initTestCase()
    {
        m_session = std::make_unique<TradeSession>();
        QVERIFY(m_session->logIn());
        m_context.ticks.insert("EURUSD", tick("EURUSD", 1.08512));
        m_context.ticks.insert("XAUUSD", tick("XAUUSD", 2301.5));
        m_context.position.ticket = 501;
        m_context.position.symbol = "EURUSD";
        m_context.position.type = "buy";
        m_context.position.volume = 0.3;
        m_context.position.sl = 1.07;
        m_context.hedge = m_context.position;
        m_context.hedge.ticket = 777;
        m_context.hedge.type = "sell";
        m_context.order.ticket = 601;
        m_context.order.type = 6;
        m_context.order.volume = 0.57;
        m_context.order.price = 1.09;
        m_context.order.stopPrice = 1.0905;
    }
    void init()
    {
        m_dialog = std::make_unique<New_Order>(&m_session->client, &m_context);
        m_dialog->setCurrentSymbol("EURUSD");
        m_dialog->setMode(New_Order::NewOrder, 0);
    }
    void cleanupTestCase()
    {
        m_dialog.reset();
        m_session.reset();
    }

    void requests_data()
    {
        // The mode and ticket, the button, then "name=value" settings.
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("absent");
        QTest::addColumn<QString>("expected"); // key=value pairs that must be there
        QTest::addColumn<QString>("journal");

        QTest::newRow("sell 0.57 lots goes out as the nearest unit")
            << "0 0 sellButton volumeSpin=0.57" << QStringList{"sl", "tp", "order_id"}
            << "type=0 order_type=1 volume=5700 symbol=EURUSD login=1001"
            << "Sell Order: Sell Order: Symbol: EURUSD, Volume: 0.57";
        QTest::newRow("buy with both stops")
            << "0 0 buyButton volumeSpin=1.23 slSpin=1.08 tpSpin=1.09" << QStringList{"order_id"}
            << "type=0 order_type=0 volume=12300 sl=1.08 tp=1.09"
            << "Buy Order: Buy Order: Symbol: EURUSD, Volume: 1.23";
        QTest::newRow("sell with only a take profit")
            << "0 0 sellButton tpSpin=1.07" << QStringList{"sl"} << "order_type=1 volume=100 tp=1.07"
            << "Sell Order: Sell Order: Symbol: EURUSD, Volume: 0.01";
        QTest::newRow("buy limit, good till cancelled")
            << "0 0 placeButton orderTypeBox=1 pendingTypeBox=0" << QStringList{"s_price", "exp_mins", "position_id"}
            << "type=0 order_id=0 order_type=2 volume=100 t_time=0 sl=0"
            << "Order Request: Pending Order Request: EURUSD";
        QTest::newRow("sell stop limit sends its stop-limit price")
            << "0 0 placeButton orderTypeBox=1 pendingTypeBox=5 expiryTypeBox=1 stopLimitSpin=1.0853"
            << QStringList{"exp_mins"} << "order_type=7 t_time=1 s_price=1.0853"
            << "Order Request: Pending Order Request: EURUSD";
        QTest::newRow("a specified expiry sends whole minutes")
            << "0 0 placeButton orderTypeBox=1 pendingTypeBox=2 expiryTypeBox=2 expiresIn=90" << QStringList{"s_price"}
            << "order_type=4 t_time=2 exp_mins=90"
            << "";
        QTest::newRow("a specified expiry already past sends no minutes")
            << "0 0 placeButton orderTypeBox=1 expiryTypeBox=2 expiresIn=-5" << QStringList{"exp_mins"} << "t_time=2"
            << "";
        QTest::newRow("modify pending order keeps its type and volume")
            << "1 601 placeButton" << QStringList{"position_id"}
            << "type=1 order_id=601 order_type=6 volume=5700 price=1.09 s_price=1.0905"
            << "";
        QTest::newRow("modify position") << "2 501 placeButton" << QStringList{"s_price"}
                                         << "type=2 order_id=501 sl=1.07 volume=3000"
                                         << "";
        QTest::newRow("delete pending order") << "3 601 placeButton" << QStringList{"s_price"} << "type=3 order_id=601"
                                              << "";
        QTest::newRow("close position sends the ticket only")
            << "4 501 placeButton" << QStringList{"volume", "symbol", "order_type", "price", "sl"}
            << "type=4 order_id=501"
            << "Order Request: Pending Order Request: ";
        QTest::newRow("close by names both positions") << "10 501 placeButton" << QStringList{"s_price"}
                                                       << "type=10 order_id=501 position_id=501 position_by_id=777"
                                                       << "";
    }
    void requests()
    {
        QFETCH(QString, action);
        QFETCH(QString, expected);
        QFETCH(QString, journal);
        const QStringList words = action.split(' ');
        if (words[0] != "0")
            m_dialog->setMode(words[0].toInt(), words[1].toInt());
        fill(words.mid(3).join(' '));
        const int journalBefore = m_session->journal.lines.size();
        const auto sent = requestsDuring([&] { child<QPushButton>(words[2])->click(); });
        QCOMPARE(sent.size(), 1);
        for (const QString &pair : expected.split(' '))
            QCOMPARE(pair.section('=', 0, 0) + '=' + sent.first().value(pair.section('=', 0, 0)).toVariant().toString(),
                     pair);
        QFETCH(QStringList, absent);
        for (const QString &key : absent)
            QVERIFY2(!sent.first().contains(key), qPrintable(key));
        if (!journal.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(m_session->journal.lines.mid(journalBefore).contains(journal), patienceMs);
        QVERIFY(m_dialog->isWaiting());
        QCOMPARE(child<QLabel>("statusLabel")->text(), QString("Please wait while request sending..."));
    }

    void oneClickOneRequest_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("sell") << "sellButton";
        QTest::newRow("buy") << "buyButton";
        QTest::newRow("place") << "placeButton";
    }
    void oneClickOneRequest()
    {
        QFETCH(QString, button);
        fill(button == "placeButton" ? "orderTypeBox=1" : "");
        const QByteArray slot = "on_" + button.toLatin1() + "_clicked";
        const auto sent = requestsDuring([&] {
            child<QPushButton>(button)->click();
            child<QPushButton>(button)->click();
            QMetaObject::invokeMethod(m_dialog.get(), slot.constData());
        });
        QCOMPARE(sent.size(), 1);
        reply({{"res_code", 7}, {"status", 10018}, {"type", 0}});
        QVERIFY(!m_dialog->isWaiting());
        QCOMPARE(requestsDuring([&] { child<QPushButton>(button)->click(); }).size(), 1);
    }

    void tradeReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("followUp");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<QString>("shown");

        QTest::newRow("done closes the dialog") << 10009 << 0 << false << false << "";
        QTest::newRow("closed position asks for positions") << 10009 << 4 << true << false << "";
        QTest::newRow("pending result asks for positions")
            << 10008 << 6 << true << true << "Order placed\nno money\nmargin";
        QTest::newRow("close all asks for positions")
            << 1 << 9 << true << true << "Unknown return code 1\nno money\nmargin";
        QTest::newRow("refused close asks nothing")
            << 0 << 4 << false << true << "Unknown return code 0\nno money\nmargin";
        QTest::newRow("no money, with the server's words")
            << 10019 << 0 << false << true << "There is not enough money to complete the request\nno money\nmargin";
    }
    void tradeReplies()
    {
        QFETCH(int, status);
        QFETCH(int, type);
        QFETCH(bool, followUp);
        m_dialog->show();
        requestsDuring([&] { child<QPushButton>("buyButton")->click(); });
        const auto sent = requestsDuring([&] {
            reply(
                {{"res_code", 7}, {"status", status}, {"type", type}, {"msg", "no money"}, {"fail_reason", "margin"}});
        });
        QCOMPARE(sent.size(), followUp ? 1 : 0);
        if (followUp)
            QCOMPARE(QJsonDocument(sent.first()).toJson(QJsonDocument::Compact),
                     QByteArray(R"({"login":1001,"req_code":4,"type":5})"));
        QTEST(m_dialog->isVisible(), "staysOpen");
        if (m_dialog->isVisible())
            QTEST(child<QLabel>("statusLabel")->text(), "shown");
    }

    void volumeLimitsFollowTheSymbol_data()
    {
        QTest::addColumn<TickData>("last");
        QTest::addColumn<QString>("range");
        QTest::newRow("the symbol's own limits") << tick("GBPUSD", 1.25, 0.1, 5, 0.1) << "0.1-5 step 0.1";
        QTest::newRow("no tick yet: defaults") << TickData() << "0.01-10 step 0.01";
    }
    void volumeLimitsFollowTheSymbol()
    {
        QFETCH(TickData, last);
        QFETCH(QString, range);
        m_context.ticks.insert("GBPUSD", last);
        m_dialog->setCurrentSymbol("GBPUSD");
        m_dialog->setMode(New_Order::NewOrder, 0);
        m_context.ticks.remove("GBPUSD");
        const auto *spin = child<QDoubleSpinBox>("volumeSpin");
        QCOMPARE(QString("%1-%2 step %3").arg(spin->minimum()).arg(spin->maximum()).arg(spin->singleStep()), range);
        QCOMPARE(spin->value(), spin->minimum());
    }

    // Prices follow the dialog's symbol only; the pictures show them and the buttons of the mode.
    void screenshots_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("new order") << 0 << QStringList{"sellButton", "buyButton"};
        QTest::newRow("close position") << 4 << QStringList{"placeButton"};
    }
    void screenshots()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, buttons);
        m_dialog->setMode(mode, 501);
        for (int i = 0; i < 150; ++i)
            m_dialog->onSymbolPriceChanged(tick("EURUSD", 1.0855 + (i % 7) * 0.00002));
        m_dialog->onSymbolPriceChanged(tick("XAUUSD", 2310));
        QCOMPARE(child<QLabel>("bidLabel")->text(), QString("1.08554"));
        QCOMPARE(child<TickGraph>("tickGraph")->tickCount(), TickGraph::capacity);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
        const QImage image = m_dialog->grab().toImage();
        image.save(QStringLiteral("/tmp/order-%1.png").arg(mode));
        const auto area = [&](QWidget *widget) {
            return QRect(widget->mapTo(m_dialog.get(), QPoint()), widget->size());
        };
        QVERIFY(hasColourNear(image, area(child("bidLabel")), QColor("#c62828")));
        QVERIFY(hasColourNear(image, area(child("askLabel")), QColor("#1565c0")));
        for (const char *colour : {"#c62828", "#1565c0"})
            QVERIFY(hasColourNear(image, area(child("tickGraph")).adjusted(0, 0, -90, 0), QColor(colour)));
        for (const QString &name : buttons) {
            QVERIFY(child(name)->isVisible());
            QVERIFY2(hasColourNear(image, area(child(name)).adjusted(4, 4, -4, -4), Qt::black), qPrintable(name));
        }
    }
};

KESTRAL_TEST_MAIN(TestNewOrder)
#include "tst_neworder.moc"

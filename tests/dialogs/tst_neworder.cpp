// The order dialog against a fake trade server: what each mode sends, the waiting
// state, the reply handling and what the dialog shows.
#include "new_order.h"
#include "ordertestcontext.h"
#include "testmain.h"
#include "tradesession.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int sentinelCode = 99;

bool hasColourNear(const QImage &image, const QRect &area, QColor colour)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) < 40 && qAbs(c.green() - colour.green()) < 40 && qAbs(c.blue() - colour.blue()) < 40)
                return true;
        }
    }
    return false;
}

} // namespace

class TestNewOrder : public QObject
{
    Q_OBJECT

    std::unique_ptr<TradeSession> m_session;
    OrderTestContext m_context;
    std::unique_ptr<New_Order> m_dialog;

    template<typename T> T *child(const char *name) { return m_dialog->findChild<T *>(QLatin1String(name)); }

    // Every trade request (req_code 4) the server got while `action` ran and the
    // client's queue drained behind it.
    QList<QJsonObject> requestsDuring(const std::function<void()> &action)
    {
        const int before = m_session->server.requests(4).size();
        const int sentinels = m_session->server.requests(sentinelCode).size();
        action();
        m_session->client.sendRequest({{"req_code", sentinelCode}});
        [&] { QTRY_COMPARE_WITH_TIMEOUT(m_session->server.requests(sentinelCode).size(), sentinels + 1, patienceMs); }();
        return m_session->server.requests(4).mid(before);
    }

    void reply(const QJsonObject &response)
    {
        const int before = m_session->tradeResponses.size();
        m_session->server.send(response);
        QTRY_COMPARE_WITH_TIMEOUT(m_session->tradeResponses.size(), before + 1, patienceMs);
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase()
    {
        m_session = std::make_unique<TradeSession>();
        QVERIFY(m_session->logIn());
        m_context.ticks.insert("EURUSD", OrderTestContext::tick("EURUSD", 1.08512, 1.08527));
        m_context.ticks.insert("XAUUSD", OrderTestContext::tick("XAUUSD", 2301.5, 2302.1));
        Position position;
        position.ticket = 501;
        position.symbol = "EURUSD";
        position.type = "buy";
        position.volume = 0.3;
        position.price = 1.081;
        position.sl = 1.07;
        position.digits = 5;
        m_context.positions.insert(501, position);
        Position opposite = position;
        opposite.ticket = 777;
        opposite.type = "sell";
        m_context.hedges.insert(501, {opposite});
        PendingOrder order;
        order.ticket = 601;
        order.symbol = "EURUSD";
        order.type = 6;
        order.volume = 0.57;
        order.price = 1.09;
        order.stopPrice = 1.0905;
        m_context.orders.insert(601, order);
    }

    void init()
    {
        m_dialog = std::make_unique<New_Order>(&m_session->client, &m_context);
        m_dialog->setCurrentSymbol("EURUSD");
        m_dialog->setMode(New_Order::NewOrder, 0);
    }

    void cleanupTestCase() { m_dialog.reset(); m_session.reset(); }

    void marketOrders_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<double>("lots");
        QTest::addColumn<double>("sl");
        QTest::addColumn<double>("tp");
        QTest::addColumn<int>("orderType");
        QTest::addColumn<qint64>("volume");

        QTest::newRow("sell 0.57 lots goes out as the nearest unit") << "sellButton" << 0.57 << 0.0 << 0.0 << 1 << qint64(5700);
        QTest::newRow("buy 1.23 lots with both stops") << "buyButton" << 1.23 << 1.08 << 1.09 << 0 << qint64(12300);
        QTest::newRow("sell with only a take profit") << "sellButton" << 0.01 << 0.0 << 1.07 << 1 << qint64(100);
    }
    void marketOrders()
    {
        QFETCH(QString, button);
        QFETCH(double, lots);
        QFETCH(double, sl);
        QFETCH(double, tp);
        QFETCH(int, orderType);
        QFETCH(qint64, volume);

        child<QDoubleSpinBox>("volumeSpin")->setValue(lots);
        child<QDoubleSpinBox>("slSpin")->setValue(sl);
        child<QDoubleSpinBox>("tpSpin")->setValue(tp);
        const auto sent = requestsDuring([&] { m_dialog->findChild<QPushButton *>(button)->click(); });
        QCOMPARE(sent.size(), 1);
        const QJsonObject request = sent.first();
        QCOMPARE(request.value("type").toInt(-1), 0);
        QCOMPARE(request.value("order_type").toInt(-1), orderType);
        QCOMPARE(request.value("volume").toVariant().toLongLong(), volume);
        QCOMPARE(request.value("symbol").toString(), QString("EURUSD"));
        QCOMPARE(request.contains("sl"), sl > 0);
        QCOMPARE(request.contains("tp"), tp > 0);
        QCOMPARE(request.value("login").toInt(), 1001);
        QVERIFY(m_dialog->isWaiting());
        QCOMPARE(child<QLabel>("statusLabel")->text(), QString("Please wait while request sending..."));
    }

    void placedRequests_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("ticket");
        QTest::addColumn<int>("pendingType");
        QTest::addColumn<int>("expiryType");
        QTest::addColumn<int>("expiryMinutes");
        QTest::addColumn<QString>("expected"); // keys=values that must be there
        QTest::addColumn<QStringList>("absent");

        QTest::newRow("new buy limit, good till cancelled") << 0 << 0 << 0 << 0 << 90
            << "type=0 order_id=0 order_type=2 volume=100 t_time=0" << QStringList{"s_price", "exp_mins", "position_id"};
        QTest::newRow("new sell stop limit sends its stop-limit price") << 0 << 0 << 5 << 1 << 90
            << "type=0 order_type=7 t_time=1 s_price=1.0853" << QStringList{"exp_mins"};
        QTest::newRow("a specified expiry sends whole minutes") << 0 << 0 << 2 << 2 << 90
            << "order_type=4 t_time=2 exp_mins=90" << QStringList{"s_price"};
        QTest::newRow("a specified expiry already past sends no minutes") << 0 << 0 << 2 << 2 << -5
            << "order_type=4 t_time=2" << QStringList{"exp_mins"};
        QTest::newRow("modify pending order keeps its type and volume") << 1 << 601 << -1 << 0 << 90
            << "type=1 order_id=601 order_type=6 volume=5700 price=1.09 s_price=1.0905" << QStringList{"position_id"};
        QTest::newRow("modify position") << 2 << 501 << -1 << 0 << 90 << "type=2 order_id=501 sl=1.07 volume=3000" << QStringList{"s_price"};
        QTest::newRow("delete pending order") << 3 << 601 << -1 << 0 << 90 << "type=3 order_id=601" << QStringList{"s_price"};
        QTest::newRow("close position sends the ticket only") << 4 << 501 << -1 << 0 << 90
            << "type=4 order_id=501" << QStringList{"volume", "symbol", "order_type", "price", "sl"};
        QTest::newRow("close by names both positions") << 10 << 501 << -1 << 0 << 90
            << "type=10 order_id=501 position_id=501 position_by_id=777" << QStringList{"s_price"};
    }
    void placedRequests()
    {
        QFETCH(int, mode);
        QFETCH(int, ticket);
        QFETCH(int, pendingType);
        QFETCH(int, expiryType);
        QFETCH(int, expiryMinutes);
        QFETCH(QString, expected);
        QFETCH(QStringList, absent);

        if (mode == 0)
            child<QComboBox>("orderTypeBox")->setCurrentIndex(1);
        else
            m_dialog->setMode(mode, ticket);
        if (pendingType >= 0)
            child<QComboBox>("pendingTypeBox")->setCurrentIndex(pendingType);
        child<QComboBox>("expiryTypeBox")->setCurrentIndex(expiryType);
        child<QDateTimeEdit>("expiryEdit")->setDateTime(QDateTime::currentDateTime().addSecs(expiryMinutes * 60 + 30));
        child<QDoubleSpinBox>("stopLimitSpin")->setValue(mode == 0 ? 1.0853 : child<QDoubleSpinBox>("stopLimitSpin")->value());
        QVERIFY(child<QPushButton>("placeButton")->isVisibleTo(m_dialog.get()));
        QVERIFY(!child<QPushButton>("sellButton")->isVisibleTo(m_dialog.get()));

        const auto sent = requestsDuring([&] { child<QPushButton>("placeButton")->click(); });
        QCOMPARE(sent.size(), 1);
        const QJsonObject request = sent.first();
        for (const QString &pair : expected.split(' ')) {
            const QString key = pair.section('=', 0, 0);
            QVERIFY2(request.contains(key), qPrintable(key));
            QCOMPARE(request.value(key).toVariant().toString(), pair.section('=', 1));
        }
        for (const QString &key : absent)
            QVERIFY2(!request.contains(key), qPrintable(key));
    }

    void oneClickOneRequest_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("slot");
        QTest::newRow("sell") << "sellButton" << QByteArray("on_sellButton_clicked");
        QTest::newRow("buy") << "buyButton" << QByteArray("on_buyButton_clicked");
        QTest::newRow("place") << "placeButton" << QByteArray("on_placeButton_clicked");
    }
    void oneClickOneRequest()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, slot);

        if (button == "placeButton")
            child<QComboBox>("orderTypeBox")->setCurrentIndex(1);
        const auto sent = requestsDuring([&] {
            m_dialog->findChild<QPushButton *>(button)->click();
            m_dialog->findChild<QPushButton *>(button)->click();
            QMetaObject::invokeMethod(m_dialog.get(), slot.constData());
        });
        QCOMPARE(sent.size(), 1);
        QVERIFY(!m_dialog->findChild<QPushButton *>(button)->isEnabled());

        reply({{"res_code", 7}, {"status", 10018}, {"type", 0}});
        QVERIFY(!m_dialog->isWaiting());
        QCOMPARE(requestsDuring([&] { m_dialog->findChild<QPushButton *>(button)->click(); }).size(), 1);
    }

    void tradeReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("followUp");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("done closes the dialog") << 10009 << 0 << false << false << QStringList();
        QTest::newRow("closed position asks for positions") << 10009 << 4 << true << false << QStringList();
        QTest::newRow("pending result asks for positions") << 10008 << 6 << true << true << QStringList{"Order placed"};
        QTest::newRow("close all asks for positions") << 1 << 9 << true << true << QStringList();
        QTest::newRow("refused close asks nothing and shows why") << 0 << 4 << false << true
            << QStringList{"Unknown return code 0", "no money", "margin"};
        QTest::newRow("no money is shown with the server's words") << 10019 << 0 << false << true
            << QStringList{"There is not enough money to complete the request", "no money", "margin"};
    }
    void tradeReplies()
    {
        QFETCH(int, status);
        QFETCH(int, type);
        QFETCH(bool, followUp);
        QFETCH(bool, staysOpen);
        QFETCH(QStringList, shown);

        m_dialog->show();
        requestsDuring([&] { child<QPushButton>("buyButton")->click(); });
        const auto sent = requestsDuring([&] {
            reply({{"res_code", 7}, {"status", status}, {"type", type}, {"msg", "no money"}, {"fail_reason", "margin"}});
        });
        QCOMPARE(sent.size(), followUp ? 1 : 0);
        if (followUp) {
            QCOMPARE(sent.first().value("type").toInt(), 5);
            QCOMPARE(sent.first().value("login").toVariant().toLongLong(), qint64(1001));
        }
        QCOMPARE(m_dialog->isVisible(), staysOpen);
        for (const QString &text : shown)
            QVERIFY2(child<QLabel>("statusLabel")->text().contains(text), qPrintable(child<QLabel>("statusLabel")->text()));
    }

    void volumeLimitsFollowTheSymbol_data()
    {
        QTest::addColumn<double>("minVol");
        QTest::addColumn<double>("maxVol");
        QTest::addColumn<double>("stepVol");
        QTest::addColumn<QString>("range");

        QTest::newRow("the symbol's own limits") << 0.1 << 5.0 << 0.1 << "0.1-5 step 0.1";
        QTest::newRow("no tick yet: defaults") << 0.0 << 0.0 << 0.0 << "0.01-10 step 0.01";
    }
    void volumeLimitsFollowTheSymbol()
    {
        QFETCH(double, minVol);
        QFETCH(double, maxVol);
        QFETCH(double, stepVol);
        QFETCH(QString, range);

        TickData tick = OrderTestContext::tick("GBPUSD", 1.25, 1.2502);
        tick.minVol = minVol;
        tick.maxVol = maxVol;
        tick.stepVol = stepVol;
        if (minVol == 0)
            tick = TickData();
        m_context.ticks.insert("GBPUSD", tick);
        m_dialog->setCurrentSymbol("GBPUSD");
        m_dialog->setMode(New_Order::NewOrder, 0);
        m_context.ticks.remove("GBPUSD");
        const auto *spin = child<QDoubleSpinBox>("volumeSpin");
        QCOMPARE(QString("%1-%2 step %3").arg(spin->minimum()).arg(spin->maximum()).arg(spin->singleStep()), range);
        QCOMPARE(spin->value(), spin->minimum());
    }

    void livePrices_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("bid");
        QTest::newRow("the dialog's symbol") << "EURUSD" << "1.08600";
        QTest::newRow("another symbol is ignored") << "XAUUSD" << "1.08512";
    }
    void livePrices()
    {
        QFETCH(QString, symbol);
        QFETCH(QString, bid);
        m_dialog->onSymbolPriceChanged(OrderTestContext::tick(symbol, 1.086, 1.0862));
        QCOMPARE(child<QLabel>("bidLabel")->text(), bid);
    }

    void screenshots_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("new order") << 0 << "/tmp/order-new.png" << QStringList{"sellButton", "buyButton"};
        QTest::newRow("close position") << 4 << "/tmp/order-close.png" << QStringList{"placeButton"};
    }
    void screenshots()
    {
        QFETCH(int, mode);
        QFETCH(QString, file);
        QFETCH(QStringList, buttons);

        m_dialog->setMode(mode, 501);
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
        const QImage image = m_dialog->grab().toImage();
        QVERIFY(image.save(file));
        const QRect bid(child<QLabel>("bidLabel")->mapTo(m_dialog.get(), QPoint()), child<QLabel>("bidLabel")->size());
        const QRect ask(child<QLabel>("askLabel")->mapTo(m_dialog.get(), QPoint()), child<QLabel>("askLabel")->size());
        QVERIFY(hasColourNear(image, bid, QColor("#c62828")));
        QVERIFY(hasColourNear(image, ask, QColor("#1565c0")));
        for (const QString &name : buttons) {
            const auto *button = m_dialog->findChild<QPushButton *>(name);
            QVERIFY(button->isVisible());
            const QRect area(button->mapTo(m_dialog.get(), QPoint()), button->size());
            QVERIFY2(hasColourNear(image, area.adjusted(4, 4, -4, -4), QColor(Qt::black)), qPrintable(name));
        }
    }
};

KESTRAL_TEST_MAIN(TestNewOrder)
#include "tst_neworder.moc"

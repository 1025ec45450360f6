// The order dialog against a fake trade server: what each mode sends, the waiting
// state, the reply handling and what the dialog shows.
#include "new_order.h"
#include "ordercontext.h"
#include "testmain.h"
#include "tickgraph.h"
#include "tradesession.h"

#include <qcustomplot.h>

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
    PendingOrder getOrder(int ticket) override
    {
        return ticket == order.ticket ? order : ticket == limitOrder.ticket ? limitOrder : PendingOrder();
    }
    QList<Position> getHedgePositions(int ticket) override { return {ticket == position.ticket ? hedge : Position()}; }
    QStringList symbolNames() override { return ticks.keys(); }
    QMap<QString, TickData> ticks;
    Position position, hedge;
    PendingOrder order, limitOrder;
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

    // "name=value" pairs: spin boxes take the number, combo boxes the index;
    // "expiresIn" sets the expiry that many minutes (and half a minute) from now.
    // Only what the user can change is filled.
    void fill(const QString &setup)
    {
        for (const QString &pair : setup.split(' ', Qt::SkipEmptyParts)) {
            const QString name = pair.section('=', 0, 0);
            const double value = pair.section('=', 1).toDouble();
            const QWidget *field = child(name == "expiresIn" ? "expiryEdit" : name);
            QVERIFY2(field->isEnabled() && !field->isHidden(), qPrintable(name + " cannot be changed"));
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
        m_context.position.ticket = 501;
        m_context.position.volume = 0.3;
        m_context.position.sl = 1.07;
        m_context.hedge = m_context.position;
        m_context.hedge.ticket = 777;
        m_context.order.ticket = 601;
        m_context.order.type = 6;
        m_context.order.volume = 0.57;
        m_context.order.price = 1.09;
        m_context.order.stopPrice = 1.0905;
        m_context.limitOrder.ticket = 602;
        m_context.limitOrder.type = 2;
        m_context.limitOrder.volume = 0.1;
        m_context.limitOrder.price = 1.08;
    }
    void init()
    {
        m_dialog = std::make_unique<New_Order>(&m_session->client, &m_context);
        // The window keeps one dialog, which may have closed a position before.
        m_dialog->setMode(New_Order::ClosePosition, 501);
        m_dialog->setMode(New_Order::NewOrder, 0);
    }

    void requests_data()
    {
        // The mode and ticket, the button, then "name=value" settings.
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("expected"); // key=value pairs; "key=" for a key that must be absent

        QTest::newRow("sell 0.57 lots, take profit only, goes out as the nearest unit")
            << "0 0 sellButton volumeSpin=0.57 tpSpin=1.07"
            << "type=0 order_type=1 volume=5700 symbol=EURUSD login=1001 tp=1.07 sl= order_id=";
        QTest::newRow("buy with a stop loss only") << "0 0 buyButton volumeSpin=1.23 slSpin=1.08"
                                                   << "type=0 order_type=0 volume=12300 sl=1.08 tp=";
        QTest::newRow("buy limit, good till cancelled")
            << "0 0 placeButton orderTypeBox=1 pendingTypeBox=0"
            << "type=0 order_id=0 order_type=2 volume=100 t_time=0 sl=0 s_price= exp_mins= position_id=";
        QTest::newRow("sell stop limit sends its stop-limit price and whole minutes")
            << "0 0 placeButton orderTypeBox=1 pendingTypeBox=5 expiryTypeBox=2 expiresIn=90 stopLimitSpin=1.0853"
            << "order_type=7 t_time=2 s_price=1.0853 exp_mins=90";
        QTest::newRow("a specified expiry already past sends no minutes")
            << "0 0 placeButton orderTypeBox=1 expiryTypeBox=2 expiresIn=-5"
            << "t_time=2 exp_mins=";
        QTest::newRow("modify pending order keeps its type and volume")
            << "1 601 placeButton"
            << "type=1 order_id=601 order_type=6 volume=5700 price=1.09 s_price=1.0905 position_id=";
        QTest::newRow("modify a buy limit order: its stop-limit price can be given and is sent")
            << "1 602 placeButton stopLimitSpin=1.0801"
            << "type=1 order_id=602 order_type=2 volume=1000 price=1.08 s_price=1.0801";
        QTest::newRow("modify a buy limit order: a stop-limit price of 0 is sent too")
            << "1 602 placeButton" << "type=1 order_id=602 order_type=2 s_price=0";
        QTest::newRow("delete order sends no stop-limit price") << "3 602 placeButton" << "type=3 order_id=602 s_price=";
        QTest::newRow("modify position changes stop loss and take profit")
            << "2 501 placeButton slSpin=1.06 tpSpin=1.1" << "type=2 order_id=501 sl=1.06 tp=1.1 volume=3000 s_price=";
        QTest::newRow("close position sends the ticket only")
            << "4 501 placeButton"
            << "type=4 order_id=501 volume= symbol= order_type= price= sl=";
        QTest::newRow("close by names both positions")
            << "10 501 placeButton"
            << "type=10 order_id=501 position_id=501 position_by_id=777 s_price=";
    }
    void requests()
    {
        QFETCH(QString, action);
        QFETCH(QString, expected);
        const QStringList words = action.split(' ');
        m_dialog->setMode(words[0].toInt(), words[1].toInt());
        fill(words.mid(3).join(' '));
        if (QTest::currentTestFailed())
            return;
        // Only a new order's volume can change; stops only while an order or position keeps them;
        // an opposite position is offered only when closing.
        const int mode = words[0].toInt();
        QCOMPARE(QVector<bool>({child("volumeSpin")->isEnabled(), child("slSpin")->isEnabled(),
                                child("tpSpin")->isEnabled(), !child("closeByGroup")->isHidden()}),
                 QVector<bool>({mode == 0, mode <= 2, mode <= 2, mode >= 4}));
        QVERIFY2(!child(words[2])->isHidden(), "the mode shows other buttons");
        const QByteArray slot = "on_" + words[2].toLatin1() + "_clicked";
        const auto sent = requestsDuring([&] {
            child<QPushButton>(words[2])->click();
            // A second press while waiting goes to the slot itself, as the disabled button passes no click.
            QMetaObject::invokeMethod(m_dialog.get(), slot.constData());
        });
        QCOMPARE(sent.size(), 1);
        QString actual;
        for (const QString &key : QString(expected).remove(QRegularExpression("=\\S*")).split(' '))
            actual += key + '=' + sent.first().value(key).toVariant().toString() + ' ';
        QCOMPARE(actual.trimmed(), expected);
        QCOMPARE(child<QLabel>("statusLabel")->text(), QString("Please wait while request sending..."));
    }

    void tradeReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("followUp");
        QTest::addColumn<QString>("shown"); // empty: the dialog closed

        QTest::newRow("done closes the dialog") << 10009 << 0 << false << "";
        QTest::newRow("closed position asks for positions") << 10009 << 4 << true << "";
        QTest::newRow("pending result asks for positions") << 10008 << 6 << true << "Order placed\nno money\nmargin";
        QTest::newRow("close all asks for positions") << 1 << 9 << true << "Unknown return code 1\nno money\nmargin";
        QTest::newRow("refused close asks nothing") << 0 << 4 << false << "Unknown return code 0\nno money\nmargin";
        QTest::newRow("a refusal for want of money stays open and says why")
            << 10019 << 0 << false << "There is not enough money to complete the request\nno money\nmargin";
    }
    void tradeReplies()
    {
        QFETCH(int, status);
        QFETCH(int, type);
        QFETCH(bool, followUp);
        m_dialog->show();
        requestsDuring([&] { child<QPushButton>("buyButton")->click(); });
        const auto sent = requestsDuring([&] {
            m_session->server.send(
                {{"res_code", 7}, {"status", status}, {"type", type}, {"msg", "no money"}, {"fail_reason", "margin"}});
            QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->isWaiting(), patienceMs);
        });
        QCOMPARE(sent.size(), followUp ? 1 : 0);
        if (followUp)
            QCOMPARE(QJsonDocument(sent.first()).toJson(QJsonDocument::Compact),
                     QByteArray(R"({"login":1001,"req_code":4,"type":5})"));
        QTEST(m_dialog->isVisible() ? child<QLabel>("statusLabel")->text() : QString(), "shown");
    }

    // Switching to a pending order makes room for its part, and switching back gives the room up.
    void marketOrderGivesUpThePendingRoom()
    {
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
        const int market = m_dialog->height();
        child<QComboBox>("orderTypeBox")->setCurrentIndex(1);
        QTRY_VERIFY2_WITH_TIMEOUT(m_dialog->height() > market, "no room was made for the pending order", patienceMs);
        child<QComboBox>("orderTypeBox")->setCurrentIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(m_dialog->height(), market, patienceMs);
        QVERIFY(child("pendingGroup")->isHidden());
        QCOMPARE(m_dialog->height(), m_dialog->sizeHint().height());
    }

    // The default expiry is a day from when the dialog opens, not from when it was built.
    void expiryIsADayFromOpening()
    {
        auto *expiry = child<QDateTimeEdit>("expiryEdit");
        expiry->setDateTime(QDateTime::currentDateTime().addDays(-3)); // as a dialog built days ago shows
        m_dialog->setMode(New_Order::NewOrder, 0);
        m_dialog->show();
        const qint64 ahead = QDateTime::currentDateTime().secsTo(expiry->dateTime());
        QVERIFY2(ahead > 86400 - 120 && ahead <= 86400, qPrintable(QString::number(ahead)));
    }

    // Without a tick the defaults apply; the volume starts at the least allowed.
    void volumeLimitsFollowTheSymbol()
    {
        QList<QVector<double>> ranges; // least, most, step, starting volume
        for (const TickData &last : {tick("GBPUSD", 1.25, 0.1, 5, 0.1), TickData()}) {
            m_context.ticks.insert("GBPUSD", last);
            m_dialog->setCurrentSymbol("GBPUSD");
            m_dialog->setMode(New_Order::NewOrder, 0);
            const auto *spin = child<QDoubleSpinBox>("volumeSpin");
            ranges << QVector<double>{spin->minimum(), spin->maximum(), spin->singleStep(), spin->value()};
        }
        m_context.ticks.remove("GBPUSD");
        QCOMPARE(ranges, QList<QVector<double>>({{0.1, 5, 0.1, 0.1}, {0.01, 10, 0.01, 0.01}}));
    }

    // Prices follow the dialog's symbol only; the tick graph keeps a bounded number of ticks and
    // tags the last prices with the symbol's digits.
    void pricesFollowTheDialogsSymbol()
    {
        for (int i = 0; i < 150; ++i)
            m_dialog->onSymbolPriceChanged(tick("EURUSD", 1.0855 + (i % 7) * 0.00002));
        m_dialog->onSymbolPriceChanged(tick("XAUUSD", 2310));
        QCOMPARE(child<QLabel>("bidLabel")->text(), QString("1.08554"));
        QCOMPARE(child<QDoubleSpinBox>("priceSpin")->value(), 1.08554);
        QCOMPARE(child<TickGraph>("tickGraph")->tickCount(), TickGraph::capacity);
        QStringList tags;
        for (const QCPItemText *tag : child<TickGraph>("tickGraph")->findChildren<QCPItemText *>())
            tags << tag->text();
        QCOMPARE(tags, QStringList({"1.08554", "1.08569"}));
        // The bid in red and the ask in blue, in their labels and as the graph's lines.
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
        const QImage image = m_dialog->grab().toImage();
        const auto area = [&](const char *name) {
            QWidget *widget = child(name);
            return QRect(widget->mapTo(m_dialog.get(), QPoint()), widget->size());
        };
        QVERIFY(hasColourNear(image, area("bidLabel"), QColor("#c62828")));
        QVERIFY(!hasColourNear(image, area("bidLabel"), QColor("#1565c0")));
        QVERIFY(hasColourNear(image, area("askLabel"), QColor("#1565c0")));
        QVERIFY(!hasColourNear(image, area("askLabel"), QColor("#c62828")));
        for (const char *colour : {"#c62828", "#1565c0"})
            QVERIFY(hasColourNear(image, area("tickGraph").adjusted(0, 0, -90, 0), QColor(colour)));
        // A pending order's price is the user's, not the market's.
        fill("orderTypeBox=1 priceSpin=1.2");
        m_dialog->onSymbolPriceChanged(tick("EURUSD", 1.0856));
        QCOMPARE(child<QDoubleSpinBox>("priceSpin")->value(), 1.2);
    }
};

KESTRAL_TEST_MAIN(TestNewOrder)
#include "tst_neworder.moc"

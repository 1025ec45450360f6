#include "appglobals.h"
#include "logger.h"
#include "oneclicktradingbuttons.h"
#include "testmain.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

namespace {

const QString buyBackHighlighted = QStringLiteral(
    "background-color: rgb(0,74,173);\nborder-color: rgb(0,74,173);\nborder-radius: 5px;\nborder-style: solid;\nborder-width: 2px;\n");

QString text(const QWidget &panel, const char *label)
{
    return panel.findChild<QLabel *>(QLatin1String(label))->text();
}

bool highlighted(const QWidget &panel)
{
    return panel.findChild<QLabel *>(QStringLiteral("buyBackLabel"))->styleSheet() == buyBackHighlighted;
}

} // namespace

class TestOneClickTradingButtons : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { readOnlyMode = false; }

    void priceSplitsOffItsLastDigit_data()
    {
        QTest::addColumn<bool>("buySide");
        QTest::addColumn<double>("price");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("large");
        QTest::addColumn<QString>("small");
        QTest::newRow("a five-digit bid") << false << 1.23456 << 5 << "1.2345" << "6";
        QTest::newRow("a price with no decimals") << false << 123.0 << 0 << "12" << "3";
        QTest::newRow("a trailing zero stays the last digit") << true << 1.5 << 2 << "1.5" << "0";
        QTest::newRow("a single digit leaves the large label empty") << true << 7.0 << 0 << "" << "7";
    }
    void priceSplitsOffItsLastDigit()
    {
        QFETCH(bool, buySide);
        QFETCH(double, price);
        QFETCH(int, digits);
        QFETCH(QString, large);
        QFETCH(QString, small);
        OneClickTradingButtons panel(QStringLiteral("EURUSD"));
        buySide ? panel.setBuyPrice(price, digits) : panel.setSellPrice(price, digits);
        QCOMPARE(text(panel, buySide ? "buyPriceLabel1" : "sellPriceLabel1"), large);
        QCOMPARE(text(panel, buySide ? "buyPriceLabel2" : "sellPriceLabel2"), small);
    }

    void decimalsFromStep_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("a hundredth of a lot") << 0.01 << 2;
        QTest::newRow("a tenth of a lot") << 0.1 << 1;
        QTest::newRow("whole lots") << 1.0 << 0;
        QTest::newRow("the finest wire step") << 0.0001 << 4;
        QTest::newRow("below four decimals shows no digit") << 0.00001 << 0;
        QTest::newRow("a zero step") << 0.0 << 0;
    }
    void decimalsFromStep()
    {
        QFETCH(double, step);
        QFETCH(int, decimals);
        QCOMPARE(OneClickTradingButtons::decimalsFromStep(step), decimals);
    }

    // A hidden panel still follows the ticks; a click then sends what the box holds.
    void clickSendsTheBoxVolume_data()
    {
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("sent");
        QTest::newRow("the box at its minimum sends the minimum") << 0.01 << 0.01 << 2 << 0.01;
        QTest::newRow("tenth-lot symbols send tenths") << 0.1 << 0.1 << 1 << 0.1;
        QTest::newRow("a zero step rounds the box to whole numbers") << 0.01 << 0.0 << 0 << 0.0;
    }
    void clickSendsTheBoxVolume()
    {
        QFETCH(double, minimum);
        QFETCH(double, step);
        QFETCH(int, decimals);
        QFETCH(double, sent);
        OneClickTradingButtons panel(QStringLiteral("GBPUSD"));
        panel.setMinimumVolume(minimum);
        panel.setMaximumVolume(100);
        panel.setVolumeStep(step);
        auto *box = panel.findChild<QDoubleSpinBox *>(QStringLiteral("volumeSpinBox"));
        QCOMPARE(box->decimals(), decimals);
        QCOMPARE(box->maximum(), 100.0);

        QSignalSpy spy(&panel, &OneClickTradingButtons::sellButtonClicked);
        panel.findChild<QPushButton *>(QStringLiteral("sellButton"))->click();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toDouble(), sent);
    }

    void clicksEmitThenLog_data()
    {
        QTest::addColumn<bool>("buy");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::newRow("a buy") << true << "EURUSD" << "Buy Order"
                               << "(One Click trading) Symbol: EURUSD, Volume: 0.5. Processing BUY request";
        QTest::newRow("a sell") << false << "EURUSD" << "Sell Order"
                                << "(One Click trading) Symbol: EURUSD, Volume: 0.5. Processing SELL request";
        QTest::newRow("a percent sign in the symbol is logged as given")
            << true << "X%2Y" << "Buy Order" << "(One Click trading) Symbol: X%2Y, Volume: 0.5. Processing BUY request";
    }
    void clicksEmitThenLog()
    {
        QFETCH(bool, buy);
        QFETCH(QString, symbol);
        QFETCH(QString, title);
        QFETCH(QString, message);
        OneClickTradingButtons panel(symbol);
        panel.setVolume(0.5);
        QStringList events;
        connect(&panel, &OneClickTradingButtons::buyButtonClicked, this,
                [&](const QString &s, double v) { events << QStringLiteral("buy %1 %2").arg(s, QString::number(v)); });
        connect(&panel, &OneClickTradingButtons::sellButtonClicked, this,
                [&](const QString &s, double v) { events << QStringLiteral("sell %1 %2").arg(s, QString::number(v)); });
        const auto logged = connect(Logger::instance(), &Logger::logMessage, this,
                                    [&](const QDateTime &, const QString &t, const QString &m) { events << t + '|' + m; });

        panel.findChild<QPushButton *>(QLatin1String(buy ? "buyButton" : "sellButton"))->click();
        disconnect(logged);
        QCOMPARE(events, QStringList({QStringLiteral("%1 %2 0.5").arg(buy ? "buy" : "sell", symbol), title + '|' + message}));
    }

    void readOnlyRefuses_data()
    {
        QTest::addColumn<bool>("buy");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::newRow("a buy") << true << "Buy Order"
                               << "(One Click trading) Attempted to process BUY request in read-only mode (Investor login).";
        QTest::newRow("a sell") << false << "Sell Order"
                                << "(One Click trading) Attempted to process SELL request in read-only mode (Investor login).";
    }
    void readOnlyRefuses()
    {
        QFETCH(bool, buy);
        QFETCH(QString, title);
        QFETCH(QString, message);
        readOnlyMode = true;
        OneClickTradingButtons panel(QStringLiteral("EURUSD"));
        QSignalSpy buys(&panel, &OneClickTradingButtons::buyButtonClicked);
        QSignalSpy sells(&panel, &OneClickTradingButtons::sellButtonClicked);
        QSignalSpy logs(Logger::instance(), &Logger::logMessage);

        QString boxTitle, boxText;
        int logsWhenShown = -1;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxTitle = box->windowTitle();
                boxText = box->text();
                logsWhenShown = logs.count();
                QCOMPARE(box->parentWidget(), &panel);
                box->accept();
            }
        });
        closer.start(10);
        panel.findChild<QPushButton *>(QLatin1String(buy ? "buyButton" : "sellButton"))->click();

        QCOMPARE(boxTitle, QStringLiteral("Warning"));
        QCOMPARE(boxText, QStringLiteral("Trade operations restricted in Read Only Mode."));
        QCOMPARE(logsWhenShown, 1);
        QCOMPARE(logs.count(), 1);
        QCOMPARE(logs.at(0).at(1).toString(), title);
        QCOMPARE(logs.at(0).at(2).toString(), message);
        QCOMPARE(buys.count() + sells.count(), 0);
    }

    void highlight_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("sellFirst");
        QTest::addColumn<bool>("lightsUp");
        QTest::newRow("a hidden panel lights up on its first tick") << false << false << true;
        QTest::newRow("a shown panel lights up on its first tick") << true << false << true;
        QTest::newRow("a shown panel given a bid first never lights up") << true << true << false;
    }
    void highlight()
    {
        QFETCH(bool, shown);
        QFETCH(bool, sellFirst);
        QFETCH(bool, lightsUp);
        OneClickTradingButtons panel(QStringLiteral("EURUSD"));
        if (shown)
            panel.show();
        if (sellFirst)
            panel.setSellPrice(1.1, 5);
        panel.setBuyPrice(1.2, 5);
        panel.setSellPrice(1.1, 5);
        QCOMPARE(highlighted(panel), lightsUp);
        if (!lightsUp)
            return;

        QTRY_VERIFY_WITH_TIMEOUT(!highlighted(panel), 4000);
        panel.setBuyPrice(1.3, 5);
        panel.setSellPrice(1.2, 5);
        QVERIFY(!highlighted(panel));
        QCOMPARE(text(panel, "buyPriceLabel1"), QStringLiteral("1.3000"));
    }

    void labelsShareOneFont()
    {
        OneClickTradingButtons panel(QStringLiteral("EURUSD"));
        panel.resize(180, 160);
        const QFont font = panel.findChild<QLabel *>(QStringLiteral("buyLabel"))->font();
        QCOMPARE(font.pointSize(), 8);
        for (const char *name : {"sellLabel", "buyPriceLabel1", "buyPriceLabel2", "sellPriceLabel1", "sellPriceLabel2"})
            QCOMPARE(panel.findChild<QLabel *>(QLatin1String(name))->font(), font);
    }

    // The flat buttons must lie over their half's labels, the volume box over everything.
    void clicksLandOnTheRightWidget_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("target");
        QTest::newRow("the bid") << QPoint(30, 15) << "sellButton";
        QTest::newRow("the word BUY") << QPoint(150, 42) << "buyButton";
        QTest::newRow("the volume box") << QPoint(90, 40) << "volumeSpinBox";
    }
    void clicksLandOnTheRightWidget()
    {
        QFETCH(QPoint, point);
        QFETCH(QString, target);
        OneClickTradingButtons panel(QStringLiteral("EURUSD"));
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QWidget *hit = panel.childAt(point);
        while (hit && hit->objectName() != target)
            hit = hit->parentWidget();
        QVERIFY2(hit, qPrintable(panel.childAt(point)->objectName()));
    }
};

KESTRAL_TEST_MAIN(TestOneClickTradingButtons)
#include "tst_oneclicktradingbuttons.moc"

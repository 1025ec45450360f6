#include "appglobals.h"
#include "logger.h"
#include "oneclicktradingbuttons.h"
#include "testmain.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString text(const QWidget &panel, const QString &label) { return panel.findChild<QLabel *>(label)->text(); }

} // namespace

class TestOneClickTradingButtons : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { readOnlyMode = false; }

    void priceSplitsOffItsLastDigit_data()
    {
        QTest::addColumn<QString>("side");
        QTest::addColumn<double>("price");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("large");
        QTest::addColumn<QString>("small");
        QTest::newRow("a five-digit bid") << "sell" << 1.23456 << 5 << "1.2345" << "6";
        QTest::newRow("a trailing zero stays the last digit") << "buy" << 1.5 << 2 << "1.5" << "0";
        QTest::newRow("a single digit leaves the large label empty") << "buy" << 7.0 << 0 << "" << "7";
        QTest::newRow("a hostile digit count shows at most 15 decimals")
            << "buy" << 1.5 << 2000000000 << "1.50000000000000" << "0";
    }
    void priceSplitsOffItsLastDigit()
    {
        QFETCH(QString, side);
        QFETCH(double, price);
        QFETCH(int, digits);
        OneClickTradingButtons panel("EURUSD");
        side == "buy" ? panel.setBuyPrice(price, digits) : panel.setSellPrice(price, digits);
        QTEST(text(panel, side + "PriceLabel1"), "large");
        QTEST(text(panel, side + "PriceLabel2"), "small");
    }

    // Two seconds without prices (a dropped connection) turn the panel plain; prices bring its colour back.
    void colourComesBackWithPrices_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("sellFirst");
        QTest::addColumn<bool>("lightsUp");
        QTest::newRow("a hidden panel lights up on its first tick") << false << false << true;
        QTest::newRow("a hidden panel given a bid first still lights up") << false << true << true;
        QTest::newRow("a shown panel given a bid first never lights up") << true << true << false;
    }
    void colourComesBackWithPrices()
    {
        QFETCH(bool, shown);
        QFETCH(bool, sellFirst);
        QFETCH(bool, lightsUp);
        const QString blue = "background-color: rgb(0,74,173);\nborder-color: rgb(0,74,173);\nborder-radius: 5px;\n"
                             "border-style: solid;\nborder-width: 2px;\n";
        const QString plain = "background-color: rgb(255,255,255);\nborder-color: rgb(0,74,173);\nborder-radius: 5px;\n"
                              "border-style: solid;\nborder-width: 2px;\n";
        OneClickTradingButtons panel("EURUSD");
        panel.setVisible(shown);
        const auto *back = panel.findChild<QLabel *>("buyBackLabel");
        const QString before = back->styleSheet();
        if (sellFirst)
            panel.setSellPrice(1.0, 5);
        panel.setBuyPrice(1.1, 5);
        panel.setSellPrice(1.0, 5);
        QCOMPARE(back->styleSheet(), lightsUp ? blue : before);
        if (!lightsUp)
            return;
        QTRY_COMPARE_WITH_TIMEOUT(back->styleSheet(), plain, 5000);
        panel.setBuyPrice(1.2, 5);
        QCOMPARE(back->styleSheet(), blue);
        QCOMPARE(text(panel, "buyPriceLabel1"), QString("1.2000"));
    }

    // Steps below the finest the wire carries show no decimals at all.
    void decimalsFromStep()
    {
        QCOMPARE(QList<int>({OneClickTradingButtons::decimalsFromStep(0.0001),
                             OneClickTradingButtons::decimalsFromStep(0.00001)}),
                 QList<int>({4, 0}));
    }

    void clicksEmitThenLog_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("events"); // signals, log lines and message boxes in order
        QTest::newRow("a sell emits, then logs")
            << false << "EURUSD" << "sellButton"
            << QStringList{"sell EURUSD 0.123",
                           "Sell Order|(One Click trading) Symbol: EURUSD, Volume: 0.123. Processing SELL request"};
        QTest::newRow("a buy logs a percent sign in the symbol as given")
            << false << "X%2Y"
            << "buyButton"
            << QStringList{"buy X%2Y 0.123",
                           "Buy Order|(One Click trading) Symbol: X%2Y, Volume: 0.123. Processing BUY request"};
        QTest::newRow("a read-only buy logs, then warns, and emits nothing")
            << true << "EURUSD" << "buyButton"
            << QStringList{"Buy Order|(One Click trading) Attempted to process BUY request in read-only mode (Investor "
                           "login).",
                           "box Warning|Trade operations restricted in Read Only Mode."};
    }
    void clicksEmitThenLog()
    {
        QFETCH(bool, readOnly);
        QFETCH(QString, symbol);
        QFETCH(QString, button);
        QFETCH(QStringList, events);
        readOnlyMode = readOnly;
        OneClickTradingButtons panel(symbol);
        panel.setVolumeStep(0.001); // a thousandth of a lot must survive the box's rounding
        panel.setMinimumVolume(0.123); // and a smaller volume rises to the symbol's least
        panel.setVolume(0.1);
        QStringList seen;
        const auto emitted = [&](const char *side) {
            return [&seen, side](const QString &s, double v) { seen << side + (' ' + s) + ' ' + QString::number(v); };
        };
        connect(&panel, &OneClickTradingButtons::buyButtonClicked, this, emitted("buy"));
        connect(&panel, &OneClickTradingButtons::sellButtonClicked, this, emitted("sell"));
        const auto logged =
            connect(Logger::instance(), &Logger::logMessage, this,
                    [&](const QDateTime &, const QString &t, const QString &m) { seen << t + '|' + m; });
        // The refusal box is modal; a timer reads and closes it from inside its event loop.
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen << "box " + box->windowTitle() + '|' + box->text();
                box->accept();
            }
        });
        closer.start(10);
        panel.findChild<QPushButton *>(button)->click();
        disconnect(logged);
        QCOMPARE(seen, events);
    }

};

KESTRAL_TEST_MAIN(TestOneClickTradingButtons)
#include "tst_oneclicktradingbuttons.moc"

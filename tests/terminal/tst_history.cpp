#include "footeritem.h"
#include "historytables.h"
#include "tablestyle.h"
#include "testmain.h"

#include "popuppicker.h"
#include "resend.h"
#include "servertime.h"
#include "terminalsession.h"
#include "tradeclient.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QJsonDocument>
#include <QTableWidget>
#include <QXmlStreamReader>

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

struct Tables
{
    Tables()
    {
        positions.setColumnCount(12);
        orders.setColumnCount(10);
        deals.setColumnCount(10);
    }
    HistoryTotals load(const QJsonObject &reply)
    {
        const DigitsLookup digits = [](const QString &symbol) { return symbol == "EURUSD" ? 5 : 0; };
        return loadTradeHistory(reply, {&positions, &orders, &deals}, digits, QTimeZone(3 * 3600), summaryFooterFont());
    }
    QTableWidget *byName(const QString &name)
    {
        return name == "positions" ? &positions : name == "orders" ? &orders : &deals;
    }
    QTableWidget positions;
    QTableWidget orders;
    QTableWidget deals;
};

QString text(QTableWidget &table, int row, int column)
{
    const QTableWidgetItem *item = table.item(row, column);
    return item ? item->text() : QString();
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // Column -1 is the footer, the table's last row; other columns are in the first row.
    void cells_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");

        const QByteArray money = R"({"deals":[{"type":2,"profit":1000},{"type":2,"profit":-200}]})";
        QTest::newRow("deposit and withdrawal, closed positions")
            << money << "positions" << -1
            << "Proft: 0.00, Credit: 0.00, Deposit: 1000.00, Withdraw: -200.00, Commission: 0";
        QTest::newRow("deposit and withdrawal, deals")
            << money << "deals" << -1
            << "Proft: 0.00, Credit: 0.00, Deposit: 1000.00, Withdraw: -200.00, Swap: 0.00, Commission: 0.00, "
               "Balance: 800.00";
        QTest::newRow("a balance of 0 is a withdrawal; credit, swap and fee count; trade deals do not")
            << QByteArray(R"({"deals":[{"type":2,"profit":0},{"type":3,"profit":50,"swap":-1},)"
                          R"({"type":4,"profit":-7,"fee":-2},{"type":0,"profit":99,"commission":-4}]})")
            << "deals" << -1
            << "Proft: 0.00, Credit: 50.00, Deposit: 0.00, Withdraw: 0.00, Swap: -1.00, Commission: 0.00, "
               "Balance: 47.00";
        const QByteArray closed = R"({"positions":[{"profit":10.5,"swap":-0.5,"commission":-1.25},)"
                                  R"({"profit":-2,"commission":-2.25}],"deals":[{"type":2,"profit":100}]})";
        QTest::newRow("closed positions: commission in general form")
            << closed << "positions" << -1
            << "Proft: 8.50, Credit: 0.00, Deposit: 100.00, Withdraw: 0.00, Commission: -3.5";
        QTest::newRow("closed positions enter the deals footer")
            << closed << "deals" << -1
            << "Proft: 8.50, Credit: 0.00, Deposit: 100.00, Withdraw: 0.00, Swap: -0.50, Commission: -3.50, "
               "Balance: 104.50";
        QTest::newRow("six significant digits")
            << QByteArray(R"({"positions":[{"commission":-1234.567}]})") << "positions" << -1
            << "Proft: 0.00, Credit: 0.00, Deposit: 0.00, Withdraw: 0.00, Commission: -1234.57";
        QTest::newRow("order states")
            << QByteArray(R"({"orders":[{"state":2},{"state":4},{"state":4.0},{"state":1},{"state":"4"}]})") << "orders"
            << -1 << "Filled: 2, Canceled: 1, Total: 5";

        const QByteArray position = R"({"positions":[{"symbol":"GBPUSD","type":"Buy","digits":5,"sl":0,)"
                                    R"("tp":1.2345,"volume":12500,"price_o":1.1,"time":86400}]})";
        QTest::newRow("side word as received") << position << "positions" << 3 << "Buy";
        QTest::newRow("stop loss 0 is empty") << position << "positions" << 5 << "";
        QTest::newRow("take profit with the digits") << position << "positions" << 6 << "1.23450";
        QTest::newRow("time in the server's zone") << position << "positions" << 2 << "1970-01-02 03:00:00";
        QTest::newRow("absurd digits are bounded") << QByteArray(R"({"positions":[{"digits":100000,"price_o":1}]})")
                                                   << "positions" << 7 << "1.000000000000000";
        QTest::newRow("buy limit stop") << QByteArray(R"({"orders":[{"type":6}]})") << "orders" << 3
                                        << "buy limit stop";
        QTest::newRow("order digits from the store")
            << QByteArray(R"({"orders":[{"symbol":"EURUSD","price":1.1,"digits":2}]})") << "orders" << 7 << "1.10000";
        QTest::newRow("order digits from the reply when the store has none")
            << QByteArray(R"({"orders":[{"symbol":"XAU","price":1.1,"digits":2}]})") << "orders" << 7 << "1.10";
        QTest::newRow("balance has no order")
            << QByteArray(R"({"deals":[{"type":2,"order":5}]})") << "deals" << 2 << "";
        QTest::newRow("unknown deal type keeps money")
            << QByteArray(R"({"deals":[{"type":7,"swap":-1.5}]})") << "deals" << 7 << "-1.50";
    }
    void cells()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, table);
        QFETCH(int, column);
        Tables tables;
        tables.load(parse(reply));
        QTableWidget *widget = tables.byName(table);
        QTEST(text(*widget, column < 0 ? widget->rowCount() - 1 : 0, qMax(column, 0)), "expected");
        QVERIFY(!(widget->item(0, 0)->flags() & Qt::ItemIsEditable));
    }

    void sortingKeepsFootersLast_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("profit ascending, as numbers")
            << 11 << int(Qt::AscendingOrder) << QStringList{"-3.00", "9.00", "10.00"};
        QTest::newRow("symbol descending") << 0 << int(Qt::DescendingOrder) << QStringList{"9.00", "10.00", "-3.00"};
    }
    void sortingKeepsFootersLast()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        Tables tables;
        tables.positions.setSortingEnabled(true);
        tables.load(parse(R"({"positions":[{"symbol":"B","profit":10},{"symbol":"C","profit":9},)"
                          R"({"symbol":"A","profit":-3}]})"));
        tables.positions.sortByColumn(column, Qt::SortOrder(order));
        QStringList profits;
        for (int row = 0; row < 3; ++row)
            profits << text(tables.positions, row, 11);
        QTEST(profits, "expected");
        QVERIFY(text(tables.positions, 3, 0).startsWith("Proft: 16.00"));
    }

    // The history view of a logged-in window: replies from the fake server, the
    // context menu's requests and the statement.
    void initTestCase()
    {
        m_session = std::make_unique<TerminalSession>();
        QObject::connect(m_session->client, &TradeClient::tradeHistoryReceived, this, [this] { ++m_replies; });
        QVERIFY(m_session->loginAndWait());
        m_session->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
        m_positions = m_session->window->findChild<QTableWidget *>("positionTableWidget");
        m_deals = m_session->window->findChild<QTableWidget *>("dealTableWidget");
    }

    void repliesReplaceTheTables_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("positionRows");
        QTest::addColumn<int>("dealRows");

        QTest::newRow("rows and footers")
            << QByteArray(R"({"positions":[{},{},{}],"deals":[{"type":2,"profit":1}]})") << 4 << 2;
        QTest::newRow("a second reply replaces all rows") << QByteArray(R"({"positions":[{"ticket":9}]})") << 2 << 1;
        QTest::newRow("missing arrays leave the footers") << QByteArray(R"({})") << 1 << 1;
        QTest::newRow("non-object elements add no rows")
            << QByteArray(R"({"positions":[1,"x",null,[]],"deals":[true,{"type":99}]})") << 1 << 2;
    }
    void repliesReplaceTheTables()
    {
        QFETCH(QByteArray, reply);
        QJsonObject object = parse(reply);
        object["res_code"] = 5;
        const int before = m_replies;
        QVERIFY(sendUntil(m_session->server, {object}, [&] { return m_replies > before; }));
        QTEST(m_positions->rowCount(), "positionRows");
        QTEST(m_deals->rowCount(), "dealRows");
        QVERIFY(text(*m_positions, m_positions->rowCount() - 1, 0).startsWith("Proft: "));
    }

    void menuRequests_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QJsonObject>("request");

        const auto range = [](int days) {
            const auto r = tradeHistoryRange(days);
            return QJsonObject{{"from", int(r.first)}, {"to", int(r.second)}, {"req_code", 5}, {"login", 1001}};
        };
        QTest::newRow("today") << "Today" << range(-1);
        QTest::newRow("this week") << "This week" << range(-7);
        QTest::newRow("this month") << "This month" << range(-30);
        QTest::newRow("all") << "All" << QJsonObject{{"from", 0}, {"to", -1}, {"req_code", 5}, {"login", 1001}};
    }
    void menuRequests()
    {
        QFETCH(QString, entry);
        QFETCH(QJsonObject, request);
        const int before = m_session->server.requests(5).size();
        popuppicker::choose(entry);
        emit m_positions->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE_WITH_TIMEOUT(m_session->server.requests(5).size(), before + 1, patienceMs);
        QCOMPARE(m_session->server.requests(5).last(), request);
        QTRY_VERIFY(m_journal.lines.contains("History Request: Requested period: " + entry));
    }

    void statementFromTheMenu()
    {
        const QJsonObject reply = parse(R"({"res_code":5,"positions":[{"symbol":"<script>alert(1)</script>",)"
                                        R"("type":"a&b","profit":5}],"deals":[{"type":2,"profit":1000},)"
                                        R"({"type":2,"profit":-200}]})");
        QVERIFY(sendUntil(m_session->server, {reply}, [&] { return text(*m_positions, 0, 3) == "a&b"; }));
        QTemporaryDir folder;
        const QString path = folder.filePath("statement.html");
        QString proposed;
        m_session->window->statementPathChooser = [&](const QString &name) {
            proposed = name;
            return path;
        };
        QDesktopServices::setUrlHandler("file", this, "openedInBrowser");
        popuppicker::choose("Save as Report");
        emit m_positions->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE_WITH_TIMEOUT(m_opened, QUrl::fromLocalFile(path), patienceMs);
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(proposed, "ReportHistory-1001.html");

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Well-formed XHTML, the server's texts shown as text, the deals footer's figures in the summary.
        QXmlStreamReader xml(&file);
        QStringList cells;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && (xml.name() == "th" || xml.name() == "td"))
                cells << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(cells.contains("<script>alert(1)</script>") && cells.contains("a&b"));
        QCOMPARE(cells.mid(cells.lastIndexOf("Deposit"), 4),
                 (QStringList{"Deposit", "1000.00", "Withdraw", "-200.00"}));
        QCOMPARE(cells.at(cells.lastIndexOf("Balance") + 1), "805.00");
    }

    void openedInBrowser(const QUrl &url) { m_opened = url; }

    void cleanupTestCase() { m_session.reset(); }

private:
    std::unique_ptr<TerminalSession> m_session;
    QTableWidget *m_positions = nullptr;
    QTableWidget *m_deals = nullptr;
    JournalRecorder m_journal;
    int m_replies = 0;
    QUrl m_opened;
};

KESTRAL_TEST_MAIN(TestHistory)
#include "tst_history.moc"

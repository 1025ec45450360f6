// The direct tick reader against the general one (QJsonDocument, then
// TickData::fromJson): every text it takes must give the very tick the general
// reader gives, and every text outside the common form it must leave to it.
#include "testmain.h"
#include "tickreader.h"
#include "tradeclient.h"

#include <QJsonDocument>

namespace {

const QString full = QStringLiteral(
    R"({"res_code":2,"symbol":"EURUSD","timestamp":1700000000,"server_time":1700007200,"tm_ms":1700000000123,)"
    R"("bid":1.08512,"ask":1.08527,"volume":10000,"digits":5,"min_vol":100,"max_vol":1000000,"step_vol":100,)"
    R"("bid_high":1.08712,"bid_low":1.08312,"ask_high":1.08727,"ask_low":1.08327})");

// The full tick with one key's value replaced.
QString with(const QString &key, const QString &value)
{
    QString text = full;
    const int at = text.indexOf(QStringLiteral("\"%1\":").arg(key)) + key.size() + 3;
    int end = at;
    while (text[end] != QLatin1Char(',') && text[end] != QLatin1Char('}'))
        ++end;
    return text.replace(at, end - at, value);
}

// Every field, numbers with all their digits and the sign of a zero.
QString fields(const TickData &t)
{
    QStringList parts{t.symbol, QString::number(t.timestamp), QString::number(t.serverTime),
                      QString::number(t.tmMs), QString::number(t.digits)};
    for (const double d : {t.bid, t.ask, t.volume, t.minVol, t.maxVol, t.stepVol, t.bidHigh, t.bidLow, t.askHigh,
                           t.askLow})
        parts << QString::number(d, 'g', 17);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestTickReader : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithTheGeneralReader_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("direct");

        QTest::newRow("a full tick") << full << true;
        QTest::newRow("keys in another order, spaced")
            << QStringLiteral(" {\n \"bid\" : 1.5 , \"symbol\":\"X\", \"res_code\" : 2 }\t") << true;
        QTest::newRow("a price beyond the 64-bit range of integers") << with("ask", "18446744073709551615") << true;
        QTest::newRow("negative zero as an integer") << with("bid_low", "-0") << true;
        QTest::newRow("digits at the bound") << with("digits", "15") << true;
        QTest::newRow("an escaped symbol") << with("symbol", R"("EUR\/USD\u00e9")") << true;
        QTest::newRow("a symbol outside ASCII") << with("symbol", QStringLiteral("\"Ünïcode€\"")) << true;

        QTest::newRow("another reply code") << with("res_code", "3") << false;
        QTest::newRow("the reply code with a fraction part") << with("res_code", "2.0") << false;
        QTest::newRow("no reply code") << QStringLiteral(R"({"symbol":"X","bid":1.1})") << false;
        QTest::newRow("a repeated key") << QStringLiteral(R"({"res_code":2,"bid":1.1,"bid":1.2})") << false;
        QTest::newRow("a key of another reply") << QStringLiteral(R"({"res_code":2,"bid":1.1,"state":1})") << false;
        QTest::newRow("digits beyond the bound") << with("digits", "16") << false;
        QTest::newRow("a volume with a fraction") << with("volume", "1.5") << false;
        QTest::newRow("a volume beyond 32 bits") << with("max_vol", "3000000000") << false;
        QTest::newRow("a time as a double") << with("timestamp", "1.7e9") << false;
        QTest::newRow("a time beyond 64 bits") << with("server_time", "9223372036854775808") << false;
        QTest::newRow("a price as text") << with("bid", "\"1.1\"") << false;
        QTest::newRow("a price that underflows") << with("ask", "1e-400") << false;
        QTest::newRow("a price that overflows") << with("ask", "1e400") << false;
        QTest::newRow("a symbol with a broken escape") << with("symbol", R"("A\x")") << false;
        QTest::newRow("text after the object") << full + QStringLiteral(" x") << false;
        QTest::newRow("a truncated tick") << full.left(full.size() - 1) << false;
        QTest::newRow("an array") << QStringLiteral("[2]") << false;
        QTest::newRow("nothing") << QString() << false;
    }
    void agreesWithTheGeneralReader()
    {
        QFETCH(QString, text);
        QFETCH(bool, direct);

        TickData tick;
        QCOMPARE(tickreader::read(text, tick), direct);
        if (direct)
            QCOMPARE(fields(tick), fields(TickData::fromJson(QJsonDocument::fromJson(text.toUtf8()).object())));
    }
};

KESTRAL_TEST_MAIN(TestTickReader)
#include "tst_tickreader.moc"

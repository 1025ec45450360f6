// The replies waiting for the window: what is kept, dropped and replaced, and the
// byte count that bounds them.
#include "replyqueue.h"
#include "testmain.h"

namespace {

// Runs of equal words written once with their count: "+ + +" is "+x3".
QString runs(const QStringList &words)
{
    QStringList out;
    for (int i = 0; i < words.size();) {
        int j = i;
        while (j < words.size() && words[j] == words[i])
            ++j;
        out << (j - i > 1 ? QStringLiteral("%1x%2").arg(words[i]).arg(j - i) : words[i]);
        i = j;
    }
    return out.join(' ');
}

} // namespace

class TestReplyQueue : public QObject
{
    Q_OBJECT

private slots:
    // Steps: "code:quarters" puts a reply of that many quarters of the byte bound
    // ("xN" N times; code 4 is a full positions reply), "take" takes the oldest.
    // What each step gave (+ kept, - dropped, the code taken), then the codes left.
    void keepsDropsAndCounts_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QString>("left");

        QTest::newRow("bytes up to the bound are kept, beyond it dropped") << "7:2 7:2 7:1" << "+x2 -" << "7x2";
        QTest::newRow("a reply taken gives its bytes back") << "7:2 7:2 take 7:2" << "+x2 7 +" << "7x2";
        QTest::newRow("a replaced positions reply gives its bytes back")
            << "4:3 4:3 4:3 7:1" << "+x4" << "4 7";
        QTest::newRow("a replaced symbol list gives its bytes back") << "8:3 8:3 7:1" << "+x3" << "8 7";
        QTest::newRow("a reply waiting alone is kept however big") << "7:9 7:0" << "+ -" << "7";
        QTest::newRow("beyond the count only trade results give way")
            << "7:0x2000 7:0 1:0 -2:0 -1:0 7:0" << "+x2000 - +x3 -" << "7x2000 1 -2 -1";
        QTest::newRow("a full backlog taken lets replies in again") << "7:0x2000 take 7:0" << "+x2000 7 +" << "7x2000";
    }
    void keepsDropsAndCounts()
    {
        QFETCH(QString, steps);
        const qint64 quarter = ReplyQueue::maxBytes / 4;
        ReplyQueue queue;
        QStringList results;
        ReplyQueue::Entry taken;
        for (const QString &step : steps.split(' ')) {
            if (step == "take") {
                results << (queue.take(taken) ? QString::number(taken.code) : QStringLiteral("none"));
                continue;
            }
            const int code = step.section(':', 0, 0).toInt();
            const QString size = step.section(':', 1);
            const int times = size.contains('x') ? size.section('x', 1).toInt() : 1;
            for (int i = 0; i < times; ++i) {
                const QJsonObject reply{{"res_code", code}, {"is_last", 1}};
                results << (queue.put({code, reply, size.section('x', 0, 0).toInt() * quarter}) ? "+" : "-");
            }
        }
        QTEST(runs(results), "results");
        QStringList left;
        while (queue.take(taken))
            left << QString::number(taken.code);
        QTEST(runs(left), "left");
        QVERIFY(queue.isEmpty());
    }
};

KESTRAL_TEST_MAIN(TestReplyQueue)
#include "tst_replyqueue.moc"

// Cost of taking one price tick off the wire, against the bare JSON parse of the same
// text, and the end-to-end tick rate over loopback from the fake trade server.
#include "faketradeserver.h"
#include "pricedatabuffer.h"
#include "tradeclient.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <benchmark/benchmark.h>

#include "medianreporter.h"
#include "residentmemory.h"
#include <algorithm>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int symbolCount = 300;

QStringList tickTexts()
{
    QStringList texts;
    for (int i = 0; i < symbolCount; ++i) {
        QJsonObject tick = FakeTradeServer::tick(QStringLiteral("SYM%1").arg(i, 3, 10, QLatin1Char('0')),
                                                 1.08512 + i * 0.01, 1.08527 + i * 0.01);
        texts.append(QString::fromUtf8(QJsonDocument(tick).toJson(QJsonDocument::Compact)));
    }
    return texts;
}

void BM_FromJson(benchmark::State &state)
{
    QList<QByteArray> texts;
    for (const QString &text : tickTexts())
        texts.append(text.toUtf8());
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(QJsonDocument::fromJson(texts.at(i)));
        i = (i + 1) % symbolCount;
    }
    state.SetLabel(std::to_string(texts.first().size()) + " bytes");
}

void BM_ParseDispatchPush(benchmark::State &state)
{
    const QStringList texts = tickTexts();
    PriceDataBuffer buffer;
    buffer.setInterval(1000000); // never flushes inside the loop
    buffer.beginTimer();
    TradeClient client;
    client.priceBuffer = &buffer;
    int i = 0;
    for (auto _ : state) {
        client.handleMessage(texts.at(i));
        i = (i + 1) % symbolCount;
    }
}

long maxResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs the event loop (QTest::qWaitFor would sleep between rounds and throttle the
// server) until the condition holds after `signal`, or the time runs out.
template<typename Sender, typename Signal, typename Condition>
bool runUntil(Condition condition, Sender *sender, Signal signal, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, [&] {
        if (condition())
            loop.quit();
    }, Qt::QueuedConnection);
    timeout.start(timeoutMs);
    loop.exec();
    return condition();
}

// The fake trade server, streaming ticks as fast as the socket takes them. Each tick's
// "tm_ms" carries its sequence number, so the receiver can tell when the last arrived.
class StreamingServer : public FakeTradeServer
{
public:
    void streamTicks(int count)
    {
        m_streamTexts.clear();
        for (int i = 0; i < symbolCount; ++i) {
            QJsonObject object = tick(QStringLiteral("SYM%1").arg(i, 3, 10, QLatin1Char('0')), 1.08512 + i, 1.08527 + i);
            object.insert(QStringLiteral("tm_ms"), QStringLiteral("@SEQ@"));
            m_streamTexts.append(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        }
        m_left = count;
        m_index = 0;
        streamSome();
    }

private:
    void streamSome()
    {
        QTcpSocket *target = nullptr;
        for (QTcpSocket *tcp : std::as_const(m_clients)) {
            if (tcp->property("open").toBool() && !target)
                target = tcp;
        }
        if (!target || m_left == 0)
            return;
        connect(target, &QTcpSocket::bytesWritten, this, &StreamingServer::streamSome, Qt::UniqueConnection);
        // About 1 MiB in flight at a time keeps the socket busy without buffering the whole run.
        while (m_left > 0 && target->bytesToWrite() < (1 << 20)) {
            QString text = m_streamTexts.at(m_index % m_streamTexts.size());
            write(target, 0x1, text.replace(QLatin1String("\"@SEQ@\""), QString::number(m_index)).toUtf8());
            ++m_index;
            --m_left;
        }
    }

    QStringList m_streamTexts;
    int m_left = 0;
    int m_index = 0;
};

// The client parses and batches the stream in its network thread, the batcher
// flushes every 100 ms here.
void BM_LoopbackStream(benchmark::State &state)
{
    const int count = int(state.range(0));
    StreamingServer server;
    PriceDataBuffer buffer;
    buffer.setInterval(100);
    TradeClient client;
    client.priceBuffer = &buffer;
    QObject::connect(&client, &TradeClient::websocketConnected, &buffer, &PriceDataBuffer::beginTimer);
    qint64 lastSequence = -1;
    qint64 batched = 0;
    QObject::connect(&buffer, &PriceDataBuffer::tickUpdated, &buffer, [&](const QList<TickData> &ticks) {
        batched += ticks.size();
        for (const TickData &tick : ticks)
            lastSequence = qMax(lastSequence, tick.tmMs);
    });
    int connects = 0;
    QObject::connect(&client, &TradeClient::websocketConnected, &buffer, [&connects] { ++connects; });
    client.connectToServer(server.url().toString(), 1001, QStringLiteral("secret"), QStringLiteral("Bench"));
    if (!runUntil([&] { return connects == 1; }, &client, &TradeClient::websocketConnected, 5000)) {
        state.SkipWithError("no connection");
        return;
    }

    // Resident memory after each run: flat when the batcher and the socket keep
    // nothing per tick.
    std::string residentAfterRuns = "RSS KiB after each run:";
    qint64 totalBatched = 0;
    for (auto _ : state) {
        lastSequence = -1;
        batched = 0;
        server.streamTicks(count);
        if (!runUntil([&] { return lastSequence == count - 1; }, &buffer, &PriceDataBuffer::tickUpdated, 60000)) {
            state.SkipWithError("stream did not arrive");
            break;
        }
        totalBatched += batched;
        residentAfterRuns += " " + std::to_string(residentKiB());
    }
    state.SetLabel(residentAfterRuns);
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["ticks_per_s"] = benchmark::Counter(double(state.iterations()) * count, benchmark::Counter::kIsRate);
    state.counters["records_per_run"] = double(totalBatched) / double(state.iterations());
    state.counters["max_rss_KiB"] = double(maxResidentKiB());
    client.logout();
}
BENCHMARK(BM_LoopbackStream)->Arg(200000)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr int pairs = 7;

// The two parse paths run as interleaved pairs so that a shared machine's drift hits
// both alike; the ratio printed is the median over pairs and repetitions.
void registerPairs()
{
    for (int pair = 0; pair < pairs; ++pair) {
        const std::string suffix = "/pair:" + std::to_string(pair);
        benchmark::RegisterBenchmark(("BM_FromJson" + suffix).c_str(), BM_FromJson);
        benchmark::RegisterBenchmark(("BM_ParseDispatchPush" + suffix).c_str(), BM_ParseDispatchPush);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    registerPairs();
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::vector<std::pair<std::string, std::string>> names;
    for (int pair = 0; pair < pairs; ++pair) {
        const std::string suffix = "/pair:" + std::to_string(pair);
        names.emplace_back("BM_ParseDispatchPush" + suffix, "BM_FromJson" + suffix);
    }
    const std::vector<double> ratios = reporter.ratios(names);
    if (!ratios.empty()) {
        std::printf("parse+dispatch+push / bare fromJson: median %.3f, range %.3f to %.3f over %zu pairs "
                    "(goal: at most 0.5)\n",
                    MedianReporter::median(ratios), ratios.front(), ratios.back(), ratios.size());
    }
    benchmark::Shutdown();
    return 0;
}

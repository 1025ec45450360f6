// Bars, replies, ticks and managers shared by the chart tests.
#pragma once

#include "chartmanager.h"
#include "tickdata.h"

#include <QJsonArray>
#include <QSettings>
#include <QtTest>
#include <cmath>
#include <memory>

namespace chartfixture {

// 2023-11-14 22:00:00 UTC, a whole hour.
constexpr qint64 kHour = 1699999200;

inline QVector<CandleStick> makeBars(int count, qint64 first = kHour, int period = 60)
{
    QVector<CandleStick> bars;
    for (int i = 0; i < count; ++i) {
        const double mid = 1.1 + 0.01 * std::sin(i / 7.0) + 0.0001 * i;
        bars.append({first + qint64(i) * period * 60, mid, mid + 0.002, mid - 0.002, mid + 0.0005 * (i % 3 - 1)});
    }
    return bars;
}

inline QJsonObject historyReply(const QVector<CandleStick> &bars, const QJsonValue &interval = 60,
                                const QString &symbol = QStringLiteral("EURUSD"))
{
    QJsonArray array;
    for (const CandleStick &b : bars)
        array.append(QJsonObject{
            {"datetime", b.timestamp}, {"open", b.open}, {"high", b.high}, {"low", b.low}, {"close", b.close}});
    return {{"res_code", 3}, {"symbol", symbol}, {"array", array}, {"interval", interval}};
}

inline TickData tick(qint64 time, double bid, int digits = 5)
{
    TickData t;
    t.symbol = QStringLiteral("EURUSD");
    t.timestamp = time;
    t.bid = bid;
    t.ask = bid + 0.5;
    t.digits = digits;
    return t;
}

// Every manager on an account of its own, so that no test reads another's files.
inline qint64 nextLogin()
{
    static qint64 login = 5000;
    return ++login;
}

inline void settle()
{
    QVERIFY(ChartManager::waitForFileWork(30000));
    QCoreApplication::processEvents();
}

inline std::unique_ptr<ChartManager> manager(qint64 login, const QString &server = QStringLiteral("Demo-Server"),
                                             TradeClient *client = nullptr)
{
    auto m = std::make_unique<ChartManager>(client);
    m->setAccount(login, server);
    settle();
    return m;
}

inline void switchIndicators(const QString &suffixes)
{
    QSettings settings(QStringLiteral("MorWell"), QStringLiteral("Client"));
    settings.remove(QStringLiteral("Indicator"));
    for (const QString &suffix : suffixes.split(' ', Qt::SkipEmptyParts))
        settings.setValue("Indicator/EURUSD/" + suffix, true);
}

} // namespace chartfixture

// Runs any indicator by name over a small bar series, so that tests can be
// tables of (indicator, bars, parameters, expected points).
#pragma once

#include "indicators.h"

#include <QMetaType>
#include <QPointF>
#include <QtTest>
#include <cmath>

struct Bars
{
    QVector<double> keys, open, high, low, close;

    int size() const { return close.size(); }
    Bars first(int n) const { return {keys.mid(0, n), open.mid(0, n), high.mid(0, n), low.mid(0, n), close.mid(0, n)}; }
};
Q_DECLARE_METATYPE(Bars)

enum class Calc {
    MovingAverage,
    Bollinger,
    Envelopes,
    Alligator,
    ParabolicSar,
    Adx,
    Macd,
    Ichimoku,
    Cci,
    Momentum,
    Rsi,
    StdDev,
    ForceIndex,
    Williams,
    Atr,
    DeMarker,
    AccDist,
    Obv,
    BullsPower,
    BearsPower,
    Mfi,
    Rvi,
    Stochastic
};
Q_DECLARE_METATYPE(Calc)
using Points = QVector<QPointF>; // (key, expected value)

namespace harness {

inline QVector<double> indices(int n)
{
    QVector<double> keys(n);
    for (int i = 0; i < n; ++i)
        keys[i] = i;
    return keys;
}

inline Bars ohlc(const QVector<double> &open, const QVector<double> &high, const QVector<double> &low,
                 const QVector<double> &close)
{
    return {indices(close.size()), open, high, low, close};
}

// Bars whose four prices are all the close.
inline Bars closes(const QVector<double> &close)
{
    return ohlc(close, close, close, close);
}

inline Bars highLowClose(const QVector<double> &high, const QVector<double> &low, const QVector<double> &close)
{
    return ohlc(close, high, low, close);
}

// A deterministic wandering market with every bar's low below its high.
inline Bars walk(int n)
{
    Bars b{indices(n), {}, {}, {}, {}};
    double price = 100.0;
    for (int i = 0; i < n; ++i) {
        const double open = price;
        price += std::sin(i * 0.7) * 2.0 + std::cos(i * 0.13) * 0.5;
        b.open << open;
        b.close << price;
        b.high << std::max(open, price) + 0.5 + (i % 3) * 0.25;
        b.low << std::min(open, price) - 0.5 - (i % 4) * 0.25;
    }
    return b;
}

// Stand-in volume that does not change between calls.
inline QVector<double> fixedVolume(int n)
{
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = 100 + (i % 7) * 100;
    return v;
}

// Parameters as the chart passes them, where a row gives none.
inline double param(const QVector<double> &p, int index, double chartValue)
{
    return index < p.size() ? p[index] : chartValue;
}

// Single-line indicators keep their line under the empty name.
inline void run(Calc calc, const Bars &b, IndicatorLines &out, const QVector<double> &p = {})
{
    const auto n = [&](int chartValue) { return int(param(p, 0, chartValue)); };
    IndicatorSeries &s = out[QString()];
    switch (calc) {
    case Calc::MovingAverage:
        calcMovingAverage(s, b.keys, b.open, b.high, b.low, b.close, n(10), QStringLiteral("Simple"), 0);
        break;
    case Calc::Bollinger:
        calcBollinger(out, b.keys, b.close, n(20), param(p, 1, 2));
        break;
    case Calc::Envelopes:
        calcEnvelopes(b.keys, b.close, out, n(14), param(p, 1, 0.1));
        break;
    case Calc::Alligator:
        calcAlligator(b.keys, b.close, out);
        break;
    case Calc::ParabolicSar:
        calcParabolicSar(b.keys, b.high, b.low, s, param(p, 0, 0.2), param(p, 1, 0.2));
        break;
    case Calc::Adx:
        calcAdx(out, b.keys, b.open, b.high, b.low, b.close, n(14));
        break;
    case Calc::Macd:
        calcMacd(out, b.keys, b.open, b.high, b.low, b.close, n(12), int(param(p, 1, 26)), int(param(p, 2, 9)), 0);
        break;
    case Calc::Ichimoku:
        calcIchimoku(out, b.keys, b.high, b.low, b.close, n(9), int(param(p, 1, 26)), int(param(p, 2, 52)));
        break;
    case Calc::Cci:
        calcCommodityChannelIndex(s, b.keys, b.open, b.high, b.low, b.close, n(14), int(param(p, 1, 6)));
        break;
    case Calc::Momentum:
        calcMomentum(s, b.keys, b.open, b.high, b.low, b.close, n(14), 0);
        break;
    case Calc::Rsi:
        calcRsi(s, b.keys, b.close, n(14));
        break;
    case Calc::StdDev:
        calcStandardDeviation(s, b.keys, b.close, n(14));
        break;
    case Calc::ForceIndex:
        calcForceIndex(s, b.keys, b.close, fixedVolume(b.size()), n(14));
        break;
    case Calc::Williams:
        calcWilliamsPercentRange(s, b.keys, b.high, b.low, b.close, n(14));
        break;
    case Calc::Atr:
        calcAverageTrueRange(s, b.keys, b.high, b.low, b.close, n(14));
        break;
    case Calc::DeMarker:
        calcDeMarker(s, b.keys, b.high, b.low, n(14));
        break;
    case Calc::AccDist:
        calcAccumulationDistribution(s, b.keys, b.open, b.high, b.low, b.close);
        break;
    case Calc::Obv:
        calcOnBalanceVolume(s, b.keys, b.close, b.high);
        break;
    case Calc::BullsPower:
        calcPower(b.keys, b.high, b.close, s, n(14));
        break;
    case Calc::BearsPower:
        calcPower(b.keys, b.low, b.close, s, n(14));
        break;
    case Calc::Mfi:
        calcMoneyFlowIndex(s, b.keys, b.high, b.low, b.close, n(14));
        break;
    case Calc::Rvi:
        calcRelativeVigorIndex(out, b.keys, b.open, b.high, b.low, b.close, n(10));
        break;
    case Calc::Stochastic:
        calcStochastic(b.keys, b.high, b.low, b.close, out, n(5), int(param(p, 1, 3)));
        break;
    }
    if (out.value(QString()).keys.isEmpty())
        out.remove(QString());
}

inline bool close(double actual, double expected)
{
    if (std::isnan(expected))
        return std::isnan(actual);
    return std::abs(actual - expected) <= 1e-4 * std::max(1.0, std::abs(expected));
}

// Compares the points of one line at the given keys and its point count.
inline void verifyLine(const IndicatorSeries &line, int count, const Points &expected)
{
    QCOMPARE(line.values.size(), line.keys.size());
    QCOMPARE(line.keys.size(), count);
    for (const QPointF &point : expected) {
        const int at = line.keys.indexOf(point.x());
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("no point at key %1").arg(point.x())));
        QVERIFY2(close(line.values[at], point.y()),
                 qPrintable(
                     QStringLiteral("at key %1: %2, expected %3").arg(point.x()).arg(line.values[at]).arg(point.y())));
    }
}

} // namespace harness

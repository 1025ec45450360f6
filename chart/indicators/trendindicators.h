// Indicators drawn over the price pane, plus ADX, MACD and Ichimoku.
//
// Extending calculations only append points for bars not yet in their output,
// so a live chart never recomputes history; replacing ones rebuild the whole
// output with their warm-up values. Too few bars, or a period below 1, leave
// the output as it was.
#pragma once

#include "indicatorcore.h"

// Extending over bars 0 .. N - 2; every method name gives the simple average.
void calcMovingAverage(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                       const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n,
                       const QString &method, int priceType);

// Extending; lines "ml", "tl", "bl".
void calcBollinger(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &close, int n, double k);

// Replacing; lines "upper", "lower"; deviation is a percentage.
void calcEnvelopes(const IndicatorKeys &keys, const QVector<double> &close, IndicatorLines &output, int n,
                   double deviation);

// Replacing, needs 52 bars; lines "jaws", "teeth", "lips".
void calcAlligator(const IndicatorKeys &keys, const QVector<double> &close, IndicatorLines &output);

// Replacing, needs 2 bars; bar 0 holds 0.
void calcParabolicSar(const IndicatorKeys &keys, const QVector<double> &high, const QVector<double> &low,
                      IndicatorSeries &output, double step, double maximum);

// Extending; lines "adx", "pdi", "mdi", each starting with a point of value 0 at bar 0.
void calcAdx(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &open,
             const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n);

// Extending over bars 0 .. N - 2; lines "fastEMA", "slowEMA", "MACD", "signal".
void calcMacd(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &open,
              const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int fast, int slow,
              int signal, int priceType);

// Replacing with NaN in warm-up; lines "tenkan_sen", "kijun_sen", "senkou_span_a",
// "senkou_span_b", "chikou_span", none shifted.
void calcIchimoku(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &high,
                  const QVector<double> &low, const QVector<double> &close, int tenkanPeriod, int kijunPeriod,
                  int senkouSpanBPeriod);

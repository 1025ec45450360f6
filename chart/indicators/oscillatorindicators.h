// Indicators drawn in panes of their own: oscillators and the volume-type
// indicators. Bars carry no traded volume here, so each volume-type indicator
// stands another quantity in for it (noted per function).
//
// Output rules as in trendindicators.h: extending calculations append only new
// bars, replacing ones rebuild whole; too few bars or a period out of range
// leave the output as it was.
#pragma once

#include "indicatorcore.h"

// Extending over bars 0 .. N - 2, window shortened near bar 0.
void calcCommodityChannelIndex(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                               const QVector<double> &high, const QVector<double> &low, const QVector<double> &close,
                               int n, int priceType);

// Extending over bars n .. N - 2.
void calcMomentum(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                  const QVector<double> &high, const QVector<double> &low, const QVector<double> &close, int n,
                  int priceType);

// Extending over bars n .. N - 1; reads the n - 1 changes before the bar.
void calcRsi(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close, int n);

// Extending over bars n .. N - 1; sample deviation (divided by n - 1).
void calcStandardDeviation(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close, int n);

// Extending over bars n .. N - 1; volume usually from makeSyntheticVolume.
void calcForceIndex(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close,
                    const QVector<double> &volume, int n);

// Extending over bars n .. N - 1, in -100 .. 0.
void calcWilliamsPercentRange(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                              const QVector<double> &low, const QVector<double> &close, int n);

// Extending over bars n .. N - 1.
void calcAverageTrueRange(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                          const QVector<double> &low, const QVector<double> &close, int n);

// Extending over bars n .. N - 1, in 0 .. 1.
void calcDeMarker(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                  const QVector<double> &low, int n);

// Extending over bars 1 .. N - 1; the bar's key stands in for its volume.
void calcAccumulationDistribution(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &open,
                                  const QVector<double> &high, const QVector<double> &low,
                                  const QVector<double> &close);

// Extending over bars 1 .. N - 1; the high stands in for the volume.
void calcOnBalanceVolume(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &close,
                         const QVector<double> &high);

// Replacing; bulls power with price = high, bears power with price = low.
void calcPower(const IndicatorKeys &keys, const QVector<double> &price, const QVector<double> &close,
               IndicatorSeries &output, int n);

// Extending over bars n .. N - 1; the close stands in for the volume.
void calcMoneyFlowIndex(IndicatorSeries &output, const IndicatorKeys &keys, const QVector<double> &high,
                        const QVector<double> &low, const QVector<double> &close, int n);

// Replacing; lines "rvi1", "rvi2".
void calcRelativeVigorIndex(IndicatorLines &output, const IndicatorKeys &keys, const QVector<double> &open,
                            const QVector<double> &high, const QVector<double> &low, const QVector<double> &close,
                            int n);

// Replacing; lines "stock1" (%K) and "stock2" (%D).
void calcStochastic(const IndicatorKeys &keys, const QVector<double> &high, const QVector<double> &low,
                    const QVector<double> &close, IndicatorLines &output, int kPeriod, int dPeriod);

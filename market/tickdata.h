// One price tick of a symbol, as the trade server sends it (reply code 2).
#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>

struct TickData
{
    QString symbol;
    qint64 timestamp = 0;   // Unix seconds
    qint64 serverTime = 0;
    double bid = 0.0;
    double ask = 0.0;
    double reserved1 = 0.0;
    double volume = 0.0;    // lots
    qint64 tmMs = 0;        // Unix milliseconds
    int digits = 0;
    double minVol = 0.0;    // lots
    double maxVol = 0.0;
    double stepVol = 0.0;
    double bidHigh = 0.0;
    double bidLow = 0.0;
    double askHigh = 0.0;
    double askLow = 0.0;
    double reserved2a = 0.0;
    double reserved2b = 0.0;
    double reserved2c = 0.0;
    QString reserved2d;

    // Reads the tick keys of a reply; missing keys give 0, volumes are scaled
    // from lots times 10000 to lots.
    static TickData fromJson(const QJsonObject &object);
};

Q_DECLARE_METATYPE(TickData)
Q_DECLARE_METATYPE(QList<TickData>)

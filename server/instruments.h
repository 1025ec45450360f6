// The instruments the local server trades, with what the symbol list tells the
// terminal and what the price simulation needs.
#pragma once

#include <QString>
#include <QVector>

struct Instrument
{
    QString symbol;
    QString description;
    QString path;
    QString quoteCurrency; // profit currency; converted to the account's USD
    int digits = 5;
    double contractSize = 100000.0;
    qint64 minVolume = 100; // lots x 10000
    qint64 maxVolume = 1000000;
    qint64 stepVolume = 100;
    double startPrice = 1.0;
    int spreadPoints = 10;            // typical spread in units of the last digit
    double minuteVolatility = 0.0003; // relative standard deviation per minute
};

QVector<Instrument> defaultInstruments();

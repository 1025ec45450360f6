// An open position and a pending order as the trade server reports them.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QString>

struct Position
{
    qint64 login = 0;
    qint64 ticket = 0;
    QString symbol;
    QString type;          // side word; only "sell" counts as a sell
    double volume = 0.0;   // lots
    double price = 0.0;    // open price
    double currentPrice = 0.0;
    double closePrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    double profit = 0.0;
    double contractSize = 0.0;
    qint64 time = 0;
    qint64 closeTime = 0;
    double profitRate = 0.0;
    double swap = 0.0;
    double reserved = 0.0;
    double fee = 0.0;
    int digits = 0;
    QString reservedText;

    bool isSell() const { return type == QLatin1String("sell"); }

    static Position fromJson(const QJsonObject &object);

    // The live figures (current price and profit) do not count: a reply that
    // differs only in them describes the same positions.
    bool operator==(const Position &other) const;
    bool operator!=(const Position &other) const { return !(*this == other); }
};

struct PendingOrder
{
    qint64 login = 0;
    qint64 ticket = 0;
    qint64 reserved = 0;
    QString symbol;
    int type = 0;          // order-type code of the trade protocol
    double volume = 0.0;   // lots
    double price = 0.0;
    double stopPrice = 0.0;
    double sl = 0.0;
    double tp = 0.0;
    qint64 time = 0;
    int reservedNumber = 0;
    QString reservedText;
    int digits = 0;

    static PendingOrder fromJson(const QJsonObject &object);

    bool operator==(const PendingOrder &other) const;
    bool operator!=(const PendingOrder &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(Position)
Q_DECLARE_METATYPE(PendingOrder)
Q_DECLARE_METATYPE(QList<Position>)
Q_DECLARE_METATYPE(QList<PendingOrder>)

// One trade server offered by the broker list, and the reading of that list.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

struct BrokerServer
{
    QString name;
    // A host, optionally followed by ":" and a port.
    QString address;
    int brokerId = 0;
};

// The servers of our broker, in reply order; no value when the body is not a JSON
// array, or repeats a key whose dropped value is nested.
std::optional<QVector<BrokerServer>> parseBrokerList(const QByteArray &body);

// "ws://" + address, with the default trade-server port when the address names none.
QString tradeServerUrl(const QString &address);

#include "brokerserver.h"

#include "jsonguard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr int ourBrokerId = 34;
}

std::optional<QVector<BrokerServer>> parseBrokerList(const QByteArray &body)
{
    // Qt's parser would leak what a repeated key drops; such a reply is refused.
    if (jsonguard::dropsNestedValue(body))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return std::nullopt;
    QVector<BrokerServer> servers;
    for (const QJsonValue &broker : document.array()) {
        for (const QJsonValue &value : broker.toObject().value(QStringLiteral("servers")).toArray()) {
            const QJsonObject server = value.toObject();
            const int brokerId = server.value(QStringLiteral("brokerId")).toInt();
            if (brokerId != ourBrokerId)
                continue;
            servers.append({server.value(QStringLiteral("name")).toString(),
                            server.value(QStringLiteral("ipaddr")).toString(), brokerId});
        }
    }
    return servers;
}

QString tradeServerUrl(const QString &address)
{
    // A saved login may hand back a full address; prefixing it again would make it unusable.
    if (address.startsWith(QLatin1String("ws://")) || address.startsWith(QLatin1String("wss://")))
        return address;
    QString url = QStringLiteral("ws://") + address;
    if (!address.contains(QLatin1Char(':')))
        url += QStringLiteral(":9001");
    return url;
}

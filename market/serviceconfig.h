// Where the broker's services are. Build-time defaults that a user with a real broker
// (or a test with an ephemeral port) changes without rebuilding, through the
// environment: KESTRAL_BROKER_HOST, KESTRAL_BROKER_PORT, KESTRAL_ACCOUNT_PORT,
// KESTRAL_WEB_BASE (the broker's web site), KESTRAL_COPY_TRADING_BASE (its copy-trading site).
#pragma once

#include <QString>
#include <QUrl>

#ifndef KESTRAL_DEFAULT_BROKER_HOST
#define KESTRAL_DEFAULT_BROKER_HOST "127.0.0.1"
#endif

namespace serviceconfig {

// The broker-list service: GET "/brokers".
QString brokerListHost();
int brokerListPort();
QUrl brokerListUrl();

// The account service on a trade server's host; `serverAddress` is the broker
// list's "ipaddr" or a "ws://host:port" address, of which only the host is used.
int accountServicePort();
QUrl accountServiceUrl(const QString &serverAddress, const QString &path);

// The copy-trading site's root page and the web site's "/calender" go over plain HTTP.
enum class WebPage { CopyTrading, EconomicCalendar, Home, IosApp, AndroidApp, Licence };
QUrl webPage(WebPage page);

} // namespace serviceconfig

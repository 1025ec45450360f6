// A main window wired to a fake trade server and a loopback broker list, the way the
// program starts: the broker list answers with one server of our broker pointing at
// the fake server, which accepts logins and sends the symbol list after each one.
//
//     TerminalSession session;             // window built, broker list requested
//     QVERIFY(session.loginAndWait());     // through the login dialog, as a user would
//     session.server.send(FakeTradeServer::tick("EURUSD", 1.1, 1.2));
#pragma once

#include "clientterminal.h"
#include "faketradeserver.h"
#include "loopbackhttpserver.h"
#include "tradesession.h"
#include <memory>

class TradeClient;

struct TerminalSession
{
    static constexpr qint64 account = 1001;
    static inline const QString serverName = QStringLiteral("Kestral-Demo");

    // `buildWindow` false leaves the window to build() so that a test can prepare files first.
    explicit TerminalSession(bool buildWindow = true);
    ~TerminalSession();

    void build();
    // Closes and destroys the window (saving its workspace as the program does) and
    // starts again with a new client and window against the same servers, as a new run would.
    void restart();
    // Waits until the broker list reached the login dialog.
    bool waitForServers();
    // Fills the login dialog, accepts it and waits for the window's login. A server name
    // other than ours is added to the dialog, at the fake server's address.
    bool loginAndWait(const QString &password = QStringLiteral("secret"), bool savePassword = true,
                      const QString &name = serverName);
    // Waits for the window to be logged in (automatic logins).
    bool waitForLogin();
    QString accountFolder() const;

    FakeTradeServer server;
    LoopbackHttpServer http;
    // Never destroyed before the window; deleted last, as no window uses it then.
    TradeClient *client = nullptr;
    std::unique_ptr<Client_Terminal> window;
};

// The server's accounts and trades in an SQLite file, so that whatever a reply
// reported as done survives a restart or a kill. One server owns a file at a time.
#pragma once

#include "tradingengine.h"

#include <QMap>
#include <QString>
#include <memory>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace tradeserver {

class Checkpointer;

class ServerStore
{
public:
    static constexpr int schemaVersion = 1;
    static constexpr int applicationId = 0x4b535256; // tells our files from other programs' SQLite files
    static QString memoryPath() { return QStringLiteral(":memory:"); }
    static QString fileName() { return QStringLiteral("kestral-server.db"); }

    ServerStore();
    ~ServerStore();
    ServerStore(const ServerStore &) = delete;
    ServerStore &operator=(const ServerStore &) = delete;

    // Checks the file (created when absent; memoryPath() for none) and reads it, then
    // holds it so no other program writes it. False, with errorString() one line that
    // names the file, when it cannot be used; a file that fails is left as it was.
    bool open(const QString &path);
    // Hands what open() read to the engine, replacing its accounts.
    void restore(TradingEngine &engine);
    // Reads an account's history lists; false, with errorString(), when it cannot.
    bool loadHistory(Account &account);
    // One transaction with every change; false, with errorString(), when not kept.
    bool save(const TradingEngine &engine, const EngineChanges &changes);
    // Writes the engine's whole state into a fresh file, as one transaction.
    bool saveAll(const TradingEngine &engine);

    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

private:
    struct Statements;

    bool take(const QString &path);
    bool fail(const QString &why);
    bool writeFailed(const QSqlError &error); // "in use" when another program holds it
    bool check(QSqlDatabase &db, bool *fresh);
    bool createSchema(QSqlDatabase &db);
    bool read(QSqlDatabase &db);
    bool prepare(QSqlDatabase &db);
    bool historyFailed(const QSqlQuery &query);
    bool writeAccount(const Account &account, const AccountChanges &changes);
    void close();

    QString m_path;
    QString m_connection; // Qt's name for our database connection
    QString m_error;
    std::unique_ptr<Statements> m_statements;
    std::unique_ptr<Checkpointer> m_checkpointer;
    int m_lock = -1; // the descriptor that holds the file for this server
    bool m_fresh = false;
    QMap<qint64, Account> m_loaded;
    qint64 m_nextTicket = 100000;
    qint64 m_nextLogin = 100001;
};

} // namespace tradeserver

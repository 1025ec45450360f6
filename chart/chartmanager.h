// Holds the logged-in account's bars for every symbol and period, keeps them in the
// cache files, and holds each chart's colours, drawn objects and line levels.
#pragma once

#include "barstore.h"
#include "candlestick.h"
#include "chartobjectrecord.h"

#include <QColor>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimeZone>
#include <QVector>
#include <limits>
#include <memory>
#include <optional>

class TradeClient;

class ChartManager : public QObject
{
    Q_OBJECT

public:
    explicit ChartManager(TradeClient *client, QObject *parent = nullptr);
    ~ChartManager() override;

    void setAccount(qint64 login, const QString &server);
    qint64 login() const { return m_login; }
    QString serverName() const { return m_serverName; }
    // The trade server's zone, in which its daily and monthly bars begin; UTC
    // without a client.
    QTimeZone serverTimeZone() const;

    // Bars in ascending time; empty when none are held.
    QList<CandleStick> getChartHistory(const QString &symbol, int period) const;

    // The bars held, shared rather than copied, and what changed in them since a
    // revision the caller saw, so that a chart takes in only that.
    struct HistoryChange
    {
        static constexpr qint64 Everything = std::numeric_limits<qint64>::min();
        static constexpr qint64 Nothing = std::numeric_limits<qint64>::max();
        BarStore bars;
        quint64 revision = 0;
        // Time of the oldest bar added or replaced since the revision seen.
        qint64 changedFrom = Everything;
    };
    HistoryChange chartHistorySince(const QString &symbol, int period, quint64 seenRevision) const;

    void requestChartHistory(const QString &symbol, int period, qint64 from, qint64 to);
    // The request that requestChartHistory sends; nullopt when it must not be sent.
    static std::optional<QJsonObject> chartHistoryRequest(const QString &symbol, int period, qint64 from, qint64 to);

    QList<QColor> getColors(const QString &symbol, int period);
    QList<ChartObjectRecord> getObjects(const QString &symbol, int period);
    QList<double> getLevels(const QString &symbol, int period);
    // The objects that every window of the symbol and period shows: the list held,
    // even an empty one, and only when none is held the file's.
    QList<ChartObjectRecord> sharedObjects(const QString &symbol, int period);
    void setColors(const QString &symbol, int period, const QList<QColor> &colors, bool save);
    void setObjects(const QString &symbol, int period, const QList<ChartObjectRecord> &objects, bool save);
    void setLevels(const QString &symbol, int period, const QList<double> &levels, bool save);
    bool loadChartSettings(const QString &symbol, int period);
    bool saveChartSettings(const QString &symbol, int period);

    // Folders of the current account; empty while no account is set or when the
    // server name cannot be used as a folder name.
    QString historyFolder() const;
    QString settingsFolder() const;

    // Cache-file primitives. The reader returns the bars in ascending time, one per
    // time (the last record of a time wins) and drops a partial trailing record.
    static QVector<CandleStick> loadHistoryFile(const QString &path);
    // Rewrites the file with the bars; an empty list leaves the file as it is.
    static bool writeHistoryFile(const QString &path, const QVector<CandleStick> &bars);
    static bool appendHistoryRecord(const QString &path, const CandleStick &bar);

    // False for names that could reach outside their folder or that the file
    // systems we run on refuse.
    static bool isSafeFileName(const QString &name);

    // Every cache read and write runs in order on one background worker shared by
    // all managers. Blocks until it is idle or `msecs` have passed (negative: no
    // limit); true when it is idle.
    static bool waitForFileWork(int msecs = -1);

signals:
    void readyChartHistory(QString symbol, int period);
    // A window stored another list of drawn objects for the symbol and period.
    void objectsChanged(QString symbol, int period);
    // Emitted while the previous account is still set, so that open windows save into it.
    void accountAboutToChange();

public slots:
    void updateChartHistoryFromServer(QJsonObject chart_object);
    void appendCandleStick(QString symbol, int period, qlonglong timestamp, double open, double high, double low,
                           double close);

private:
    struct Core;

    QString accountFolder() const;
    QString historyFilePath(const QString &symbol, int period) const;
    QString settingsFilePath(const QString &symbol, int period) const;
    bool usableName(const QString &name) const;

    QPointer<TradeClient> m_client;
    qint64 m_login = 0;
    QString m_serverName;
    // Shared with the background worker so that it never needs the manager itself.
    std::shared_ptr<Core> m_core;

    QMap<QString, QList<QColor>> m_colors;
    QMap<QString, QMap<int, QList<ChartObjectRecord>>> m_objects;
    QMap<QString, QMap<int, QList<double>>> m_levels;

    mutable QSet<QString> m_warnedNames;
    // Symbols and periods a chart asked for; replies for others are dropped.
    QHash<QString, QSet<int>> m_asked;
    bool m_warnedUnasked = false;
};

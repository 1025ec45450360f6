// What the terminal knows about the broker's symbols: specifications, the
// market-watch list and the last tick of every symbol.
#pragma once

#include "symbolsetting.h"
#include "tickdata.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVector>

class SymbolDataStorage : public QObject
{
    Q_OBJECT

public:
    explicit SymbolDataStorage(QObject *parent = nullptr);
    ~SymbolDataStorage() override;

    void onSymbolListReceived(const QJsonObject &reply);

    // Taken as given: no check against the settings, duplicates and order stay.
    void setSymbolList(const QVector<QString> &symbols, bool notify);
    void setSymbolList(const QStringList &symbols, bool notify);
    void setSymbolVisible(const QString &symbol, bool visible);

    QStringList visibleSymbols() const;
    QStringList symbolNames() const;
    TickData lastTick(const QString &symbol) const;
    SymbolSetting symbolSetting(const QString &symbol) const;
    int digits(const QString &symbol) const;
    void clear();

signals:
    void tickChanged(const TickData &tick);
    void symbolListChanged(const QStringList &symbols);
    void symbolSettingChanged();

public slots:
    void onUpdatedTicks(const QList<TickData> &ticks);

private:
    bool differsFromSettings(const QMap<QString, SymbolSetting> &fresh) const;
    void rebuildSymbolList();
    void emitSymbolList();

    QVector<QString> symbolList;
    QMap<QString, SymbolSetting> settings;
    // Only ever looked up by name, so a hash keeps the tick path short.
    QHash<QString, TickData> lastTicks;
};

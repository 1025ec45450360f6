// Read-only table of last ticks per symbol: symbol, bid, ask and spread.
#pragma once

#include "tickdata.h"

#include <QAbstractTableModel>
#include <QMap>
#include <QStringList>

class SymbolTickModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit SymbolTickModel(QObject *parent = nullptr);
    ~SymbolTickModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void tickChanged(const QString &symbol);
    void newSymbolAdded(const QString &symbol);

protected:
    // The model offers no way to fill its map; a subclass that feeds it owns
    // the model reset around its changes.
    QStringList headers;
    QMap<QString, TickData> ticks;
};

#include "symboltickmodel.h"

#include <iterator>

SymbolTickModel::SymbolTickModel(QObject *parent)
    : QAbstractTableModel(parent)
    , headers({QStringLiteral("Symbol"), QStringLiteral("Bid"), QStringLiteral("Ask"), QStringLiteral("Spread")})
{
}

SymbolTickModel::~SymbolTickModel() = default;

int SymbolTickModel::rowCount(const QModelIndex &parent) const
{
    // A table has no children; the tester insists on 0 below a valid parent.
    return parent.isValid() ? 0 : ticks.size();
}

int SymbolTickModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : headers.size();
}

QVariant SymbolTickModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= ticks.size() || role != Qt::DisplayRole)
        return {};
    const auto entry = std::next(ticks.cbegin(), index.row());
    switch (index.column()) {
    case 0:
        return entry.key();
    case 1:
        return entry->bid;
    case 2:
        return entry->ask;
    case 3:
        return entry->ask - entry->bid;
    default:
        return {};
    }
}

QVariant SymbolTickModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers.size())
        return {};
    return headers.at(section);
}

bool SymbolTickModel::insertRows(int row, int count, const QModelIndex &parent)
{
    Q_UNUSED(row);
    Q_UNUSED(count);
    Q_UNUSED(parent);
    return true;
}

bool SymbolTickModel::removeRows(int row, int count, const QModelIndex &parent)
{
    Q_UNUSED(row);
    Q_UNUSED(count);
    Q_UNUSED(parent);
    return true;
}

Qt::ItemFlags SymbolTickModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

// The account's open positions and pending orders, priced live from ticks.
#pragma once

#include "position.h"
#include "tickdata.h"

#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <map>
#include <vector>

class PositionDataStore : public QObject
{
    Q_OBJECT

public:
    explicit PositionDataStore(QObject *parent = nullptr);
    ~PositionDataStore() override;

    // `swapSum`, when given, receives the sum of the rows' swaps, read in the same pass.
    void setOpenPositions(const QJsonArray &array, double *swapSum = nullptr);
    void setPendingOrders(const QJsonArray &array);

    QList<Position> positions() const;
    QList<PendingOrder> pendingOrders() const;
    Position position(int ticket, bool *found = nullptr) const;
    PendingOrder pendingOrder(int ticket, bool *found = nullptr) const;
    QList<Position> hedgePositions(int ticket) const;

signals:
    void openPositionChanged();
    void historyPositionAppended();
    void positionProfitChanged(const Position &position);
    void netProfitChanged(double profit);
    void symbolNetProfitChanged(const QString &symbol, int positions, double buy_volume, double buy_price,
                                double sell_volume, double sell_price, double net_profit);

public slots:
    void onPriceChanged(const TickData &tick);
    void clear();

private:
    // The open positions of one symbol in ascending ticket order, with their
    // summed profit kept so the account total needs no walk over every position.
    struct SymbolBook
    {
        std::vector<Position *> positions;
        double profit = 0.0;
    };

    static bool updatePositionProfit(Position &position, const TickData &tick);
    void rebuildBooks();
    void setBookProfit(int book, double profit);
    double totalProfit() const;

    std::map<qint64, Position> m_positions;
    QMap<qint64, PendingOrder> m_pendingOrders;
    QHash<QString, int> m_bookIndex;
    std::vector<SymbolBook> m_books;
    // The books' profits summed pairwise: a leaf per book, each node the sum
    // of its two below. A tick redoes one path, and the root equals a sum
    // taken afresh in the same pairs, so it cannot drift as a running total would.
    std::vector<double> m_profitSums;
    size_t m_firstLeaf = 0;
    QHash<QString, TickData> m_lastTicks;
    // Bumped whenever the positions are replaced, so a repricing walk notices a
    // signal handler that reloaded or cleared the store under it.
    quint64 m_generation = 0;
    bool m_ordersCleared = false;
};

// Hands price ticks from the network thread to the user interface in batches: the
// newest tick of every symbol that changed, once per period.
#pragma once

#include "tickdata.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <atomic>
#include <vector>

class QTimer;

class PriceDataBuffer : public QObject
{
    Q_OBJECT

public:
    // Beyond this many symbols, or for a name longer than the second bound, a tick of
    // a new symbol is ignored: no server lists that many, and a feed of ever new names
    // would otherwise hold memory without end here and in every store after it.
    static constexpr int maxSymbols = 30000;
    static constexpr int maxSymbolLength = 64;

    explicit PriceDataBuffer(QObject *parent = nullptr);
    ~PriceDataBuffer() override;

    void setInterval(int ms);
    // Called from the network thread; drops the tick while the flush timer is stopped.
    void pushTick(const TickData &tick);

signals:
    void tickUpdated(QList<TickData> ticks);

public slots:
    void beginTimer();
    void endTimer();
    void onTimerTriggered();

private:
    int interval = 50;
    QMutex mutex;
    // Every symbol ever seen has a slot: its newest tick in latestTicks, and
    // whether it is among pendingSymbols (the slots ticked since the last flush)
    // in m_pending. A tick costs one look-up and a store, no tree or set insert.
    QHash<QString, int> m_slots;
    std::vector<TickData> latestTicks;
    std::vector<int> pendingSymbols;
    std::vector<bool> m_pending;
    bool m_refusalLogged = false;
    QTimer *flushTimer = nullptr;
    // The timer lives in the user-interface thread; pushTick reads this instead.
    std::atomic<bool> m_running{false};
};

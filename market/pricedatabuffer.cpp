#include "pricedatabuffer.h"

#include "logger.h"
#include "tradeclient.h"

#include <QMutexLocker>
#include <QTimer>
#include <utility>

PriceDataBuffer::PriceDataBuffer(QObject *parent)
    : QObject(parent)
    , flushTimer(new QTimer)
{
    connect(flushTimer, &QTimer::timeout, this, &PriceDataBuffer::onTimerTriggered);
}

PriceDataBuffer::~PriceDataBuffer()
{
    m_running = false;
    // The client is never stopped at shut-down: make sure no network thread holds
    // or can take a pointer to this batcher before its members go.
    TradeClient::releasePriceBuffer(this);
    flushTimer->stop();
    delete flushTimer;
}

void PriceDataBuffer::setInterval(int ms)
{
    if (ms == interval)
        return;
    interval = ms;
    if (flushTimer->isActive())
        flushTimer->start(interval);
}

void PriceDataBuffer::beginTimer()
{
    flushTimer->start(interval);
    m_running = true;
}

void PriceDataBuffer::endTimer()
{
    m_running = false;
    flushTimer->stop();
}

void PriceDataBuffer::pushTick(const TickData &tick)
{
    if (!m_running.load(std::memory_order_acquire) || tick.symbol.isEmpty())
        return;
    QMutexLocker locker(&mutex);
    auto slot = m_slots.constFind(tick.symbol);
    if (slot == m_slots.cend()) {
        if (m_slots.size() >= maxSymbols || tick.symbol.size() > maxSymbolLength) {
            if (!std::exchange(m_refusalLogged, true)) {
                locker.unlock();
                Logger::instance()->log(QStringLiteral("Network"),
                                        QStringLiteral("Ticks of new symbols beyond %1, or with names over %2 "
                                                       "characters, are ignored")
                                            .arg(maxSymbols)
                                            .arg(maxSymbolLength));
            }
            return;
        }
        slot = m_slots.insert(tick.symbol, int(latestTicks.size()));
        latestTicks.push_back(tick);
        m_pending.push_back(false);
    } else {
        latestTicks[size_t(*slot)] = tick;
    }
    if (!m_pending[size_t(*slot)]) {
        m_pending[size_t(*slot)] = true;
        pendingSymbols.push_back(*slot);
    }
}

void PriceDataBuffer::onTimerTriggered()
{
    QList<TickData> ticks;
    {
        QMutexLocker locker(&mutex);
        ticks.reserve(int(pendingSymbols.size()));
        for (const int slot : pendingSymbols) {
            ticks.append(latestTicks[size_t(slot)]);
            m_pending[size_t(slot)] = false;
        }
        pendingSymbols.clear();
    }
    if (!ticks.isEmpty())
        emit tickUpdated(ticks);
}

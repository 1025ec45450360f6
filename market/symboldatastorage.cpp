#include "symboldatastorage.h"

#include <QJsonArray>

SymbolDataStorage::SymbolDataStorage(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<TickData>("TickData");
    qRegisterMetaType<QList<TickData>>("QList<TickData>");
    qRegisterMetaType<SymbolSetting>("SymbolSetting");
}

SymbolDataStorage::~SymbolDataStorage() = default;

void SymbolDataStorage::onSymbolListReceived(const QJsonObject &reply)
{
    // A reply without a list is broken, not empty: it must not wipe the market watch.
    const QJsonValue listed = reply.value(QLatin1String("array"));
    if (!listed.isArray())
        return;
    const QJsonArray array = listed.toArray();
    QMap<QString, SymbolSetting> fresh;
    for (const auto &element : array) {
        const auto setting = SymbolSetting::fromJson(element.toObject());
        if (setting.symbol.isEmpty())
            continue;
        fresh.insert(setting.symbol, setting);
    }

    // Judged on the final map: a symbol listed twice counts by its last entry,
    // so a stale earlier duplicate cannot unhide the user's symbols.
    if (!differsFromSettings(fresh))
        return;

    settings = fresh;
    rebuildSymbolList();
    emitSymbolList();
    emit symbolSettingChanged();
}

bool SymbolDataStorage::differsFromSettings(const QMap<QString, SymbolSetting> &fresh) const
{
    if (fresh.size() != settings.size())
        return true;
    for (auto it = fresh.cbegin(), held = settings.cbegin(); it != fresh.cend(); ++it, ++held) {
        if (it.key() != held.key() || !isSameSymbolSetting(it.value(), held.value()))
            return true;
    }
    return false;
}

void SymbolDataStorage::rebuildSymbolList()
{
    QVector<QString> front;
    QVector<QString> rest;
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        it->visible = true;
        const QString &name = it.key();
        if (name.contains(QLatin1String("EURUSD"), Qt::CaseInsensitive)
            || name.contains(QLatin1String("GBPUSD"), Qt::CaseInsensitive))
            front.append(name);
        else
            rest.append(name);
    }
    symbolList = front + rest;
}

void SymbolDataStorage::emitSymbolList()
{
    emit symbolListChanged(QStringList(symbolList.cbegin(), symbolList.cend()));
}

void SymbolDataStorage::setSymbolList(const QVector<QString> &symbols, bool notify)
{
    symbolList = symbols;
    if (notify)
        emitSymbolList();
}

void SymbolDataStorage::setSymbolList(const QStringList &symbols, bool notify)
{
    setSymbolList(QVector<QString>(symbols.cbegin(), symbols.cend()), notify);
}

void SymbolDataStorage::setSymbolVisible(const QString &symbol, bool visible)
{
    const auto setting = settings.find(symbol);
    if (setting != settings.end())
        setting->visible = visible;

    const int listed = symbolList.indexOf(symbol);
    if (listed >= 0 && !visible) {
        symbolList.remove(listed);
        emitSymbolList();
    } else if (listed < 0 && visible) {
        symbolList.append(symbol);
        emitSymbolList();
    }
}

QStringList SymbolDataStorage::visibleSymbols() const
{
    QStringList names;
    for (const auto &setting : std::as_const(settings)) {
        if (!setting.symbol.isEmpty() && setting.visible)
            names.append(setting.symbol);
    }
    return names;
}

QStringList SymbolDataStorage::symbolNames() const
{
    return settings.keys();
}

TickData SymbolDataStorage::lastTick(const QString &symbol) const
{
    return lastTicks.value(symbol);
}

SymbolSetting SymbolDataStorage::symbolSetting(const QString &symbol) const
{
    return settings.value(symbol);
}

int SymbolDataStorage::digits(const QString &symbol) const
{
    const auto setting = settings.constFind(symbol);
    return setting == settings.cend() ? 0 : setting->digits;
}

void SymbolDataStorage::clear()
{
    symbolList.clear();
    settings.clear();
    lastTicks.clear();
}

void SymbolDataStorage::onUpdatedTicks(const QList<TickData> &ticks)
{
    for (const auto &tick : ticks) {
        if (tick.symbol.isEmpty())
            continue;
        lastTicks.insert(tick.symbol, tick);
        emit tickChanged(tick);
    }
}

#include "symbolsetting.h"

#include "jsonreadings.h"

SymbolSetting SymbolSetting::fromJson(const QJsonObject &object)
{
    SymbolSetting setting;
    setting.path = object.value(QLatin1String("path")).toString();
    setting.symbol = object.value(QLatin1String("symbol")).toString();
    setting.description = object.value(QLatin1String("desc")).toString();
    setting.digits = jsonreading::boundedDigits(object.value(QLatin1String("digits")).toInt());
    setting.contractSize = object.value(QLatin1String("c_size")).toDouble();
    setting.minVol = jsonreading::wideInteger(object.value(QLatin1String("min_vol")));
    setting.maxVol = jsonreading::wideInteger(object.value(QLatin1String("max_vol")));
    setting.stepVol = jsonreading::wideInteger(object.value(QLatin1String("step_vol")));
    return setting;
}

bool isSameSymbolSetting(const SymbolSetting &a, const SymbolSetting &b)
{
    return a.symbol == b.symbol && a.path == b.path && a.digits == b.digits && a.description == b.description
        && a.contractSize == b.contractSize && a.minVol == b.minVol && a.maxVol == b.maxVol
        && a.stepVol == b.stepVol;
}

// One symbol's contract details from the trade server's symbol list.
#pragma once

#include <QJsonObject>
#include <QMetaType>
#include <QString>

struct SymbolSetting
{
    QString symbol;
    QString description;
    int digits = 0;
    // Volumes stay the wire integers (lots times 10000); divide to show lots.
    qint64 minVol = 100;
    qint64 maxVol = 100000;
    qint64 stepVol = 100;
    double contractSize = 100000.0;
    QString path;
    bool visible = true;

    // Every key is read without condition, so a missing key gives 0 or an
    // empty text rather than the defaults above.
    static SymbolSetting fromJson(const QJsonObject &object);
};

// Whether two settings describe the same symbol; `visible` is the user's choice
// and does not count.
bool isSameSymbolSetting(const SymbolSetting &a, const SymbolSetting &b);

Q_DECLARE_METATYPE(SymbolSetting)

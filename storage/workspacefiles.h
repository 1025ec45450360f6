// The files of one account's workspace folder: "login", "symbols", "charts",
// "chartplaces", "layout" and "windowState".
#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

// A server name is a folder of the workspace path: anything that could leave the
// config folder (separators, "..", control characters) makes it unusable.
bool isSafeServerName(const QString &name);
// The account's workspace folder, or an empty string when the server name is unsafe.
QString safeAccountPath(const QString &serverName, qint64 login);

namespace workspacefiles {

struct ChartEntry
{
    QString symbol;
    int period = 60;
    bool oneClick = false;
};

// Creates the folder and its missing parents owner-only.
bool makePrivateFolder(const QString &path);
// Owner-only, replaced atomically so that a crash mid-write keeps the old file.
bool writePrivateFile(const QString &path, const QByteArray &content);
bool writeFile(const QString &path, const QByteArray &content);
// At most `limit` bytes; a missing file reads as empty.
QByteArray readFile(const QString &path, qint64 limit = 4 * 1024 * 1024);

QByteArray formatSymbols(const QStringList &symbols);
QStringList parseSymbols(const QByteArray &content);
// One chart per line: "symbol;period;one-click flag".
QByteArray formatCharts(const QVector<ChartEntry> &charts);
QVector<ChartEntry> parseCharts(const QByteArray &content);
// Where each chart window sits, a line per line of "charts": "x;y;width;height".
// A line that cannot be read gives an empty rectangle, so the lines after it keep their charts.
QByteArray formatChartPlaces(const QVector<QRect> &places);
QVector<QRect> parseChartPlaces(const QByteArray &content);

} // namespace workspacefiles

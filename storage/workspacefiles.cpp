#include "workspacefiles.h"

#include "appglobals.h"
#include "safename.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

bool isSafeServerName(const QString &name)
{
    return !name.trimmed().isEmpty() && isSafePathName(name);
}

QString safeAccountPath(const QString &serverName, qint64 login)
{
    // accountPath itself refuses unsafe names; blank ones are refused here too.
    if (login <= 0 || !isSafeServerName(serverName))
        return {};
    return accountPath(serverName, login);
}

namespace workspacefiles {

namespace {
constexpr auto privateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr auto privateFile = QFile::ReadOwner | QFile::WriteOwner;
} // namespace

bool makePrivateFolder(const QString &path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList missing;
    for (QString folder = absolute; !QFileInfo::exists(folder); folder = QFileInfo(folder).path()) {
        if (folder == QFileInfo(folder).path())
            return false;
        missing.prepend(folder);
    }
    for (const QString &folder : std::as_const(missing)) {
        if (!QDir().mkdir(folder) || !QFile::setPermissions(folder, privateFolder))
            return false;
    }
    return QFileInfo(absolute).isDir();
}

static bool writeWith(const QString &path, const QByteArray &content, bool ownerOnly)
{
    if (!makePrivateFolder(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Narrowed before the first byte lands, so the password is never world-readable.
    if (ownerOnly && !file.setPermissions(privateFile))
        return false;
    if (file.write(content) != content.size())
        return false;
    return file.commit();
}

bool writePrivateFile(const QString &path, const QByteArray &content)
{
    return writeWith(path, content, true);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    return writeWith(path, content, false);
}

QByteArray readFile(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

QByteArray formatSymbols(const QStringList &symbols)
{
    QByteArray out;
    for (const QString &symbol : symbols)
        out += symbol.toUtf8() + '\n';
    return out;
}

QStringList parseSymbols(const QByteArray &content)
{
    return QString::fromUtf8(content).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QByteArray formatCharts(const QVector<ChartEntry> &charts)
{
    QByteArray out;
    for (const ChartEntry &chart : charts)
        out += QStringLiteral("%1;%2;%3\n").arg(chart.symbol).arg(chart.period).arg(chart.oneClick ? 1 : 0).toUtf8();
    return out;
}

QVector<ChartEntry> parseCharts(const QByteArray &content)
{
    QVector<ChartEntry> charts;
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList fields = line.trimmed().split(QLatin1Char(';'));
        if (fields.size() < 3 || fields.at(0).isEmpty())
            continue;
        bool ok = false;
        const int period = fields.at(1).toInt(&ok);
        if (!ok || period <= 0)
            continue;
        charts.append({fields.at(0), period, fields.at(2) == QLatin1String("1")});
    }
    return charts;
}

QByteArray formatChartPlaces(const QVector<QRect> &places)
{
    QByteArray out;
    for (const QRect &place : places)
        out += QStringLiteral("%1;%2;%3;%4\n")
                   .arg(place.x())
                   .arg(place.y())
                   .arg(place.width())
                   .arg(place.height())
                   .toUtf8();
    return out;
}

QVector<QRect> parseChartPlaces(const QByteArray &content)
{
    // Beyond any screen; larger figures come from a damaged file, and a chart that size
    // would take gigabytes to draw.
    constexpr int limit = 8192;
    QVector<QRect> places;
    for (const QString &line : QString::fromUtf8(content).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.trimmed().split(QLatin1Char(';'));
        int values[4] = {};
        bool ok = fields.size() == 4;
        for (int i = 0; ok && i < 4; ++i) {
            values[i] = fields.at(i).toInt(&ok);
            ok = ok && values[i] >= -limit && values[i] <= limit && (i < 2 || values[i] > 0);
        }
        places.append(ok ? QRect(values[0], values[1], values[2], values[3]) : QRect());
    }
    return places;
}

} // namespace workspacefiles

#include "chartmanager.h"

#include "appglobals.h"
#include "safename.h"
#include "tradeclient.h"

#include <QDataStream>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QMutex>
#include <QSaveFile>
#include <QWaitCondition>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <thread>

namespace {

constexpr qint64 kRecordSize = 40;
constexpr int kRecordsPerChunk = 4096;
constexpr int kShutdownWaitMs = 3000;

using Series = QVector<CandleStick>;

void registerOnce()
{
    static const bool registered = [] {
        qRegisterMetaType<CandleStick>("CandleStick");
        qRegisterMetaType<QList<CandleStick>>("QList<CandleStick>");
        qRegisterMetaType<ChartObjectRecord>("ChartObjectRecord");
        return true;
    }();
    Q_UNUSED(registered)
}

double readDouble(const uchar *p)
{
    const quint64 bits = qFromBigEndian<quint64>(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void writeDouble(double value, uchar *p)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToBigEndian(bits, p);
}

CandleStick decodeRecord(const uchar *p)
{
    CandleStick bar;
    bar.timestamp = qFromBigEndian<qint64>(p);
    bar.open = readDouble(p + 8);
    bar.high = readDouble(p + 16);
    bar.low = readDouble(p + 24);
    bar.close = readDouble(p + 32);
    return bar;
}

void encodeRecord(const CandleStick &bar, uchar *p)
{
    qToBigEndian(bar.timestamp, p);
    writeDouble(bar.open, p + 8);
    writeDouble(bar.high, p + 16);
    writeDouble(bar.low, p + 24);
    writeDouble(bar.close, p + 32);
}

bool byTime(const CandleStick &a, const CandleStick &b) { return a.timestamp < b.timestamp; }

// Sorts by time and keeps the last bar of each time, which is the one written or sent later.
void normalize(Series &bars)
{
    const auto strictlyAscending = std::adjacent_find(bars.cbegin(), bars.cend(), [](const auto &a, const auto &b) {
                                       return a.timestamp >= b.timestamp;
                                   }) == bars.cend();
    if (strictlyAscending)
        return;
    std::stable_sort(bars.begin(), bars.end(), byTime);
    int out = 0;
    for (int i = 0; i < bars.size(); ++i) {
        if (out > 0 && bars.at(out - 1).timestamp == bars.at(i).timestamp)
            bars[out - 1] = bars.at(i);
        else
            bars[out++] = bars.at(i);
    }
    bars.resize(out);
}

template <typename Bars> bool writeRecords(const QString &path, const Bars &bars, int count)
{
    if (count <= 0)
        return true;
    // A crash mid-rewrite must not leave half a cache behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(int(kRecordsPerChunk * kRecordSize), Qt::Uninitialized);
    for (int done = 0; done < count;) {
        const int n = std::min(kRecordsPerChunk, count - done);
        auto *p = reinterpret_cast<uchar *>(chunk.data());
        for (int i = 0; i < n; ++i)
            encodeRecord(bars.at(done + i), p + i * kRecordSize);
        if (file.write(chunk.constData(), n * kRecordSize) != n * kRecordSize)
            return false;
        done += n;
    }
    return file.commit();
}

// Adds records at the end of the file, first cutting off a partial record left by a
// crash, or every later record would be read shifted.
bool appendRecords(const QString &path, const CandleStick *bars, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 whole = file.size() - file.size() % kRecordSize;
    if (whole != file.size() && !file.resize(whole))
        return false;
    if (!file.seek(whole))
        return false;
    QByteArray bytes(int(count * kRecordSize), Qt::Uninitialized);
    for (int i = 0; i < count; ++i)
        encodeRecord(bars[i], reinterpret_cast<uchar *>(bytes.data()) + i * kRecordSize);
    return file.write(bytes) == bytes.size();
}

// The time of the file's last whole record, which is its newest: rewrites go in time
// order and appends only add newer bars. Nothing when the file has no whole record.
std::optional<qint64> lastSavedTime(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 whole = file.size() - file.size() % kRecordSize;
    uchar record[kRecordSize];
    if (whole < kRecordSize || !file.seek(whole - kRecordSize)
        || file.read(reinterpret_cast<char *>(record), kRecordSize) != kRecordSize)
        return std::nullopt;
    return decodeRecord(record).timestamp;
}

// Saves all bars but the newest, which may still be growing on the server. Bars the
// file already holds unchanged stay as they are and only newer ones are added; a
// change to a saved bar rewrites the file.
void saveReplyBars(const QString &path, const BarStore &bars, qint64 changedFrom)
{
    const int count = bars.size() - 1;
    if (count <= 0)
        return;
    const std::optional<qint64> saved = lastSavedTime(path);
    if (!saved || changedFrom <= *saved) {
        writeRecords(path, bars, count);
        return;
    }
    const QVector<qint64> &times = bars.times();
    const int skipped = int(std::upper_bound(times.cbegin(), times.cbegin() + count, *saved) - times.cbegin());
    QVector<CandleStick> added;
    for (int i = skipped; i < count; ++i)
        added.append(bars.at(i));
    if (!added.isEmpty())
        appendRecords(path, added.constData(), added.size());
}

// One background worker, started on demand, that runs every cache read and write in
// the order asked. Keeping them in one queue means a rewrite, an append and a read of
// the same file never interleave, and an append made after a rewrite was scheduled
// lands after it. Leaked on purpose: a worker may still be draining at exit.
class FileWorkQueue
{
public:
    static FileWorkQueue &instance()
    {
        static auto *queue = new FileWorkQueue;
        return *queue;
    }

    void post(std::function<void()> job)
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.push_back(std::move(job));
        if (!m_running) {
            m_running = true;
            std::thread([this] { drain(); }).detach();
        }
    }

    bool waitForIdle(int msecs)
    {
        QDeadlineTimer deadline(msecs < 0 ? QDeadlineTimer::Forever : QDeadlineTimer(msecs));
        QMutexLocker lock(&m_mutex);
        while (m_running) {
            if (!m_idle.wait(&m_mutex, deadline))
                return !m_running;
        }
        return true;
    }

private:
    void drain()
    {
        for (;;) {
            std::function<void()> job;
            {
                QMutexLocker lock(&m_mutex);
                if (m_jobs.empty()) {
                    m_running = false;
                    m_idle.wakeAll();
                    return;
                }
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    QMutex m_mutex;
    QWaitCondition m_idle;
    std::deque<std::function<void()>> m_jobs;
    bool m_running = false;
};

template<typename List>
const List *heldList(const QMap<QString, QMap<int, List>> &map, const QString &symbol, int period)
{
    const auto outer = map.constFind(symbol);
    if (outer == map.cend())
        return nullptr;
    const auto inner = outer->constFind(period);
    return inner == outer->cend() ? nullptr : &*inner;
}

struct SettingsContent
{
    QList<QColor> colors;
    QList<ChartObjectRecord> objects;
    QList<double> levels;
};

// Reads a count and refuses one that the rest of the file could not hold at
// `minimumSize` bytes per entry. One below zero stands for an empty list, so the
// rest of the file (the drawings) is still read.
bool readCount(QDataStream &in, qint64 minimumSize, qint32 &count)
{
    in >> count;
    count = qMax(count, 0);
    return in.status() == QDataStream::Ok && count <= in.device()->bytesAvailable() / minimumSize;
}

bool readString(QDataStream &in, QString &text)
{
    const QByteArray head = in.device()->peek(4);
    if (head.size() < 4)
        return false;
    const quint32 bytes = qFromBigEndian<quint32>(head.constData());
    if (bytes != 0xFFFFFFFFu && (bytes % 2 != 0 || bytes > quint64(in.device()->bytesAvailable() - 4)))
        return false;
    in >> text;
    return in.status() == QDataStream::Ok;
}

bool parseSettings(const QByteArray &bytes, SettingsContent &content)
{
    QDataStream in(bytes);
    qint32 count = 0;
    if (!readCount(in, 4, count))
        return false;
    for (qint32 i = 0; i < count; ++i) {
        QString name;
        if (!readString(in, name))
            return false;
        content.colors.append(QColor(name));
    }
    if (!readCount(in, 28, count))
        return false;
    for (qint32 i = 0; i < count; ++i) {
        ChartObjectRecord record;
        in >> record.x1 >> record.y1 >> record.x2 >> record.y2;
        if (in.status() != QDataStream::Ok || !readString(in, record.name))
            return false;
        content.objects.append(record);
    }
    if (!readCount(in, 8, count))
        return false;
    for (qint32 i = 0; i < count; ++i) {
        double level = 0.0;
        in >> level;
        content.levels.append(level);
    }
    return in.status() == QDataStream::Ok;
}

} // namespace

void registerCandleStickTypes() { registerOnce(); }

// State that the background worker reaches. It outlives the manager when a worker
// still holds it; `generation` moves on with every account change and at
// destruction, so a loader of an earlier account stores nothing.
struct ChartManager::Core
{
    QMutex mutex;
    QMap<QString, QMap<int, BarStore>> history;
    quint64 generation = 0;

    // Per symbol and period, the oldest time each recent change reached, so a
    // chart can take in only what changed since it last looked.
    struct ChangeLog
    {
        quint64 complete = 0; // every change after this revision is listed
        QVector<QPair<quint64, qint64>> changes; // revision, oldest time changed
    };
    QMap<QString, QMap<int, ChangeLog>> changes;
    quint64 revision = 0;

    // Under `mutex`.
    void noteChange(const QString &symbol, int period, qint64 from)
    {
        constexpr int kKept = 64;
        ChangeLog &log = changes[symbol][period];
        if (log.changes.isEmpty() && log.complete == 0)
            log.complete = revision;
        log.changes.append({++revision, from});
        if (log.changes.size() > kKept) {
            log.complete = log.changes.constFirst().first;
            log.changes.removeFirst();
        }
    }

    // Under `mutex`.
    void forgetHistory()
    {
        history.clear();
        changes.clear();
        ++revision;
    }

    QMutex ownerMutex;
    ChartManager *owner = nullptr;

    // Account changes and destruction take ownerMutex too, so nothing of an earlier
    // account is announced once they have returned.
    void announce(const QString &symbol, int period, quint64 startedAt)
    {
        QMutexLocker lock(&ownerMutex);
        {
            QMutexLocker historyLock(&mutex);
            if (generation != startedAt)
                return;
        }
        if (owner)
            emit owner->readyChartHistory(symbol, period);
    }

    void loadAllChartHistory(const QString &folder, quint64 startedAt)
    {
        const QFileInfoList entries = QDir(folder).entryInfoList();
        for (const QFileInfo &entry : entries) {
            if (!entry.isFile())
                continue;
            const QStringList parts = entry.fileName().split(QLatin1Char('_'));
            if (parts.size() != 2)
                continue;
            {
                QMutexLocker lock(&mutex);
                if (generation != startedAt)
                    return;
            }
            const QString symbol = parts.at(0);
            const int period = parts.at(1).toInt();
            const Series loaded = ChartManager::loadHistoryFile(entry.absoluteFilePath());
            if (loaded.isEmpty())
                continue;
            // Columns and summaries are built here, so that a chart opens by taking them.
            BarStore bars = BarStore::fromBars(loaded);
            {
                QMutexLocker lock(&mutex);
                if (generation != startedAt)
                    return;
                // Bars that arrived since the account change are newer than the cache.
                BarStore &held = history[symbol][period];
                if (!held.isEmpty())
                    bars.merge(held.toVector());
                held = bars;
                noteChange(symbol, period, loaded.constFirst().timestamp);
            }
            announce(symbol, period, startedAt);
        }
    }
};

ChartManager::ChartManager(TradeClient *client, QObject *parent)
    : QObject(parent), m_client(client), m_core(std::make_shared<Core>())
{
    registerOnce();
    m_core->owner = this;
}

ChartManager::~ChartManager()
{
    {
        QMutexLocker ownerLock(&m_core->ownerMutex);
        m_core->owner = nullptr;
        QMutexLocker lock(&m_core->mutex);
        ++m_core->generation;
        m_core->forgetHistory();
    }
    // Completed bars still queued for their file would be lost when the program
    // ends right after; a stuck disk must not hold the exit for long. A loader
    // still queued sees the new generation and stops at once.
    if (!waitForFileWork(kShutdownWaitMs))
        qWarning() << "Chart history files still being written at shut-down.";
}

QTimeZone ChartManager::serverTimeZone() const
{
    return m_client ? m_client->timeZone() : QTimeZone::utc();
}

bool ChartManager::isSafeFileName(const QString &name)
{
    return isSafePathName(name);
}

bool ChartManager::usableName(const QString &name) const
{
    if (isSafeFileName(name))
        return true;
    if (!m_warnedNames.contains(name)) {
        m_warnedNames.insert(name);
        qWarning() << "Name not usable as a file name, chart kept in memory only:" << name;
    }
    return false;
}

QString ChartManager::accountFolder() const
{
    if (m_login == 0 || m_serverName.isEmpty() || !usableName(m_serverName))
        return {};
    // Concatenated rather than built with arg(): a "%1" in a server name must stay literal.
    return configPath() + QLatin1Char('/') + m_serverName + QLatin1Char('/') + QString::number(m_login);
}

QString ChartManager::historyFolder() const
{
    const QString account = accountFolder();
    return account.isEmpty() ? QString() : account + QStringLiteral("/ChartHistory");
}

QString ChartManager::settingsFolder() const
{
    const QString account = accountFolder();
    return account.isEmpty() ? QString() : account + QStringLiteral("/ChartSettings");
}

QString ChartManager::historyFilePath(const QString &symbol, int period) const
{
    if (symbol.isEmpty() || period < 1)
        return {};
    const QString folder = historyFolder();
    if (folder.isEmpty() || !usableName(symbol))
        return {};
    return folder + QLatin1Char('/') + symbol + QLatin1Char('_') + QString::number(period);
}

QString ChartManager::settingsFilePath(const QString &symbol, int period) const
{
    const QString folder = settingsFolder();
    if (folder.isEmpty() || !usableName(symbol))
        return {};
    return folder + QLatin1Char('/') + symbol + QLatin1Char('_') + QString::number(period) + QStringLiteral(".csf");
}

void ChartManager::setAccount(qint64 login, const QString &server)
{
    if (login == m_login && server == m_serverName)
        return;
    emit accountAboutToChange();
    // Each account reads and writes only its own drawings and colours.
    m_colors.clear();
    m_objects.clear();
    m_levels.clear();
    quint64 generation = 0;
    {
        QMutexLocker ownerLock(&m_core->ownerMutex);
        QMutexLocker lock(&m_core->mutex);
        m_login = login;
        m_serverName = server;
        m_core->forgetHistory();
        generation = ++m_core->generation;
    }
    const QString folder = historyFolder();
    if (folder.isEmpty())
        return;
    std::weak_ptr<Core> weak = m_core;
    FileWorkQueue::instance().post([weak, folder, generation] {
        if (const auto core = weak.lock())
            core->loadAllChartHistory(folder, generation);
    });
}

QList<CandleStick> ChartManager::getChartHistory(const QString &symbol, int period) const
{
    BarStore bars;
    {
        QMutexLocker lock(&m_core->mutex);
        bars = m_core->history.value(symbol).value(period);
    }
    return bars.toList();
}

ChartManager::HistoryChange ChartManager::chartHistorySince(const QString &symbol, int period,
                                                            quint64 seenRevision) const
{
    HistoryChange change;
    QMutexLocker lock(&m_core->mutex);
    change.bars = m_core->history.value(symbol).value(period);
    const auto log = m_core->changes.value(symbol).value(period);
    change.revision = log.changes.isEmpty() ? log.complete : log.changes.constLast().first;
    if (seenRevision == 0 || seenRevision < log.complete)
        return change;
    change.changedFrom = HistoryChange::Nothing;
    for (const auto &entry : log.changes) {
        if (entry.first > seenRevision)
            change.changedFrom = std::min(change.changedFrom, entry.second);
    }
    return change;
}

std::optional<QJsonObject> ChartManager::chartHistoryRequest(const QString &symbol, int period, qint64 from, qint64 to)
{
    if (symbol.isEmpty() || period <= 0 || from < 0)
        return std::nullopt;
    return QJsonObject{{QStringLiteral("from"), from},
                       {QStringLiteral("to"), to},
                       {QStringLiteral("symbol"), symbol},
                       {QStringLiteral("interval"), period},
                       {QStringLiteral("req_code"), 3}};
}

void ChartManager::requestChartHistory(const QString &symbol, int period, qint64 from, qint64 to)
{
    const auto request = chartHistoryRequest(symbol, period, from, to);
    if (!request)
        return;
    // Every chart asks for its own bars when it opens, so this is also what is shown.
    m_asked[symbol].insert(period);
    if (m_client)
        m_client->sendRequest(*request);
}

void ChartManager::updateChartHistoryFromServer(QJsonObject chart_object)
{
    const QJsonArray array = chart_object.value(QLatin1String("array")).toArray();
    if (array.isEmpty())
        return;
    const QString symbol = chart_object.value(QLatin1String("symbol")).toString();
    const int period = chart_object.value(QLatin1String("interval")).toInt();
    if (symbol.isEmpty() || period < 1)
        return;
    // Bars nobody asked for would fill memory and disk at the server's pace.
    if (!m_asked.value(symbol).contains(period)) {
        if (!m_warnedUnasked) {
            m_warnedUnasked = true;
            qWarning().noquote() << "Chart history that was not asked for is ignored:" << symbol.left(64) << period;
        }
        return;
    }

    Series incoming;
    incoming.reserve(array.size());
    for (int i = 0; i < array.size(); ++i) {
        const QJsonValue element = array.at(i);
        // An element without a usable time would become a bar at 1970 on the chart.
        if (!element.isObject())
            continue;
        const QJsonObject object = element.toObject();
        const QVariant datetime = object.value(QLatin1String("datetime")).toVariant();
        // Qt's conversion of a number beyond the 64-bit range is undefined; it has no time either.
        constexpr double limit = 9223372036854775808.0; // 2^63
        if (datetime.userType() == QMetaType::Double
            && !(datetime.toDouble() >= -limit && datetime.toDouble() < limit))
            continue;
        bool ok = false;
        const qint64 time = datetime.toLongLong(&ok);
        if (!ok)
            continue;
        CandleStick bar;
        bar.timestamp = time;
        bar.open = object.value(QLatin1String("open")).toDouble();
        bar.high = object.value(QLatin1String("high")).toDouble();
        bar.low = object.value(QLatin1String("low")).toDouble();
        bar.close = object.value(QLatin1String("close")).toDouble();
        incoming.append(bar);
    }
    if (incoming.isEmpty())
        return;
    normalize(incoming);

    BarStore merged;
    qint64 changedFrom = 0;
    {
        QMutexLocker lock(&m_core->mutex);
        BarStore &held = m_core->history[symbol][period];
        const int changed = held.merge(incoming);
        if (changed == held.size())
            return; // a repeat of what is held: nothing to show or save
        changedFrom = held.time(changed);
        m_core->noteChange(symbol, period, changedFrom);
        merged = held; // shares the data; the copy happens on the next change, if any
    }
    emit readyChartHistory(symbol, period);

    const QString path = historyFilePath(symbol, period);
    if (path.isEmpty())
        return;
    const QString folder = historyFolder();
    FileWorkQueue::instance().post([folder, path, merged, changedFrom] {
        if (QDir().mkpath(folder))
            saveReplyBars(path, merged, changedFrom);
    });
}

void ChartManager::appendCandleStick(QString symbol, int period, qlonglong timestamp, double open, double high,
                                     double low, double close)
{
    const CandleStick bar{timestamp, open, high, low, close};
    {
        QMutexLocker lock(&m_core->mutex);
        BarStore &held = m_core->history[symbol][period];
        if (!held.isEmpty() && timestamp < held.last().timestamp)
            return;
        if (!held.isEmpty() && timestamp == held.last().timestamp)
            held.replace(held.size() - 1, bar);
        else
            held.append(bar);
        m_core->noteChange(symbol, period, timestamp);
    }
    const QString path = historyFilePath(symbol, period);
    if (path.isEmpty())
        return;
    const QString folder = historyFolder();
    FileWorkQueue::instance().post([folder, path, bar] {
        if (QDir().mkpath(folder))
            appendHistoryRecord(path, bar);
    });
}

bool ChartManager::waitForFileWork(int msecs) { return FileWorkQueue::instance().waitForIdle(msecs); }

QVector<CandleStick> ChartManager::loadHistoryFile(const QString &path)
{
    Series bars;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        bars.reserve(int(std::min<qint64>(file.size() / kRecordSize, std::numeric_limits<int>::max())));
        QByteArray chunk(int(kRecordsPerChunk * kRecordSize), Qt::Uninitialized);
        qint64 pending = 0; // bytes of a record split across two reads
        qint64 damaged = 0;
        for (;;) {
            const qint64 got = file.read(chunk.data() + pending, chunk.size() - pending);
            if (got <= 0)
                break;
            const qint64 available = pending + got;
            const qint64 whole = available / kRecordSize;
            const auto *p = reinterpret_cast<const uchar *>(chunk.constData());
            for (qint64 i = 0; i < whole; ++i) {
                const CandleStick bar = decodeRecord(p + i * kRecordSize);
                // A damaged record's NaN would blank every indicator window it enters.
                if (std::isfinite(bar.open) && std::isfinite(bar.high) && std::isfinite(bar.low) &&
                    std::isfinite(bar.close))
                    bars.append(bar);
                else
                    ++damaged;
            }
            pending = available - whole * kRecordSize;
            if (pending > 0)
                std::memmove(chunk.data(), chunk.constData() + whole * kRecordSize, size_t(pending));
        }
        // A record cut short by a crash during an append is left out rather than read as zeros.
        if (pending > 0)
            qWarning().noquote() << "Partial record ignored at the end of cached history file:" << path;
        if (damaged > 0)
            qWarning().noquote() << damaged << "records with non-finite prices ignored in cached history file:" << path;
    }
    normalize(bars);
    if (bars.isEmpty())
        qWarning().noquote() << "No data loaded in cached history file:" << path;
    return bars;
}

bool ChartManager::writeHistoryFile(const QString &path, const QVector<CandleStick> &bars)
{
    return writeRecords(path, bars, bars.size());
}

bool ChartManager::appendHistoryRecord(const QString &path, const CandleStick &bar)
{
    return appendRecords(path, &bar, 1);
}

bool ChartManager::loadChartSettings(const QString &symbol, int period)
{
    const QString folder = settingsFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QString path = settingsFilePath(symbol, period);
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    SettingsContent content;
    if (!parseSettings(file.readAll(), content)) {
        qWarning().noquote() << "Damaged chart settings file ignored:" << path;
        return false;
    }
    QList<QColor> &colors = m_colors[symbol];
    if (colors.isEmpty())
        colors = content.colors;
    m_objects[symbol][period] = content.objects;
    m_levels[symbol][period] = content.levels;
    return true;
}

bool ChartManager::saveChartSettings(const QString &symbol, int period)
{
    const auto colors = m_colors.constFind(symbol);
    const auto *objects = heldList(m_objects, symbol, period);
    const auto *levels = heldList(m_levels, symbol, period);
    if (colors == m_colors.cend() && !objects && !levels)
        return true;
    const QString path = settingsFilePath(symbol, period);
    if (path.isEmpty() || !QDir().mkpath(settingsFolder()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    const QList<QColor> noColors;
    const QList<QColor> &colorList = colors == m_colors.cend() ? noColors : *colors;
    out << qint32(colorList.size());
    for (const QColor &color : colorList)
        out << color.name(QColor::HexArgb);
    out << qint32(objects ? objects->size() : 0);
    if (objects) {
        for (const ChartObjectRecord &record : *objects)
            out << record.x1 << record.y1 << record.x2 << record.y2 << record.name;
    }
    out << qint32(levels ? levels->size() : 0);
    if (levels) {
        for (const double level : *levels)
            out << level;
    }
    return out.status() == QDataStream::Ok && file.commit();
}

QList<QColor> ChartManager::getColors(const QString &symbol, int period)
{
    const auto held = m_colors.constFind(symbol);
    if (held != m_colors.cend() && !held->isEmpty())
        return *held;
    if (!loadChartSettings(symbol, period))
        return {};
    return m_colors.value(symbol);
}

QList<ChartObjectRecord> ChartManager::getObjects(const QString &symbol, int period)
{
    if (const auto *held = heldList(m_objects, symbol, period); held && !held->isEmpty())
        return *held;
    if (!loadChartSettings(symbol, period))
        return {};
    return m_objects.value(symbol).value(period);
}

QList<ChartObjectRecord> ChartManager::sharedObjects(const QString &symbol, int period)
{
    if (const auto *held = heldList(m_objects, symbol, period))
        return *held;
    loadChartSettings(symbol, period);
    return m_objects.value(symbol).value(period);
}

QList<double> ChartManager::getLevels(const QString &symbol, int period)
{
    if (const auto *held = heldList(m_levels, symbol, period); held && !held->isEmpty())
        return *held;
    if (!loadChartSettings(symbol, period))
        return {};
    return m_levels.value(symbol).value(period);
}

namespace {

// True when the held list was replaced; an equal list is neither stored nor saved.
template <typename List>
bool replaceIfChanged(List &held, const List &value)
{
    if (held == value)
        return false;
    held = value;
    return true;
}

} // namespace

void ChartManager::setColors(const QString &symbol, int period, const QList<QColor> &colors, bool save)
{
    if (replaceIfChanged(m_colors[symbol], colors) && save)
        saveChartSettings(symbol, period);
}

void ChartManager::setObjects(const QString &symbol, int period, const QList<ChartObjectRecord> &objects, bool save)
{
    if (!replaceIfChanged(m_objects[symbol][period], objects))
        return;
    if (save)
        saveChartSettings(symbol, period);
    emit objectsChanged(symbol, period);
}

void ChartManager::setLevels(const QString &symbol, int period, const QList<double> &levels, bool save)
{
    if (replaceIfChanged(m_levels[symbol][period], levels) && save)
        saveChartSettings(symbol, period);
}

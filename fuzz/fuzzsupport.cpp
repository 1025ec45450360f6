#include "fuzzsupport.h"

#include "logger.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace fuzzsupport {

namespace {

QTemporaryDir *folder = nullptr;

// Millions of runs write the same parse complaints; only fatal messages matter.
void quiet(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}

} // namespace

void initialize(bool widgets)
{
    if (folder)
        return;
    folder = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/kestral-fuzz-XXXXXX"));
    if (!folder->isValid())
        fail("no temporary folder");
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"}) {
        const QString path = folder->path() + QLatin1Char('/') + QString::fromLatin1(name);
        QDir().mkpath(path);
        qputenv(name, QFile::encodeName(path));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::atexit([] { delete folder; });
    qInstallMessageHandler(quiet);

    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (widgets)
        new QApplication(argc, argv);
    else
        new QCoreApplication(argc, argv);
    // The journal writes one line per 10 ms from its own thread; runs thousands of
    // times faster would only pile lines up in its queue. Its folder is taken from
    // the working folder, which libFuzzer's own relative paths need unchanged.
    const QString working = QDir::currentPath();
    QDir::setCurrent(folder->path());
    Logger::instance()->flush();
    QDir::setCurrent(working);
}

QString root() { return folder ? folder->path() : QString(); }

QList<QByteArray> lines(const uint8_t *data, size_t size)
{
    QList<QByteArray> result;
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &line : all.split('\n')) {
        if (!line.isEmpty())
            result.append(QByteArray(line.constData(), line.size()));
    }
    return result;
}

void writeFile(const QString &path, const uint8_t *data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        fail("cannot write the input file");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzzsupport

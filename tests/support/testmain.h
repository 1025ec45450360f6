// Shared main for the test executables: every run gets its own data, config and
// working folders so that nothing touches the user's files.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace testsupport {

// Must run before anything reads the application-data location.
class IsolatedEnvironment
{
public:
    IsolatedEnvironment()
    {
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"}) {
            const QString folder = root() + QLatin1Char('/') + QString::fromLatin1(name);
            QDir().mkpath(folder);
            qputenv(name, QFile::encodeName(folder));
        }
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QDir::setCurrent(root() + QStringLiteral("/HOME"));
    }
    QString root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
};

} // namespace testsupport

#define KESTRAL_TEST_MAIN(TestObject)                                        \
    int main(int argc, char *argv[])                                         \
    {                                                                        \
        testsupport::IsolatedEnvironment environment;                        \
        QApplication::setAttribute(Qt::AA_Use96Dpi, true);                   \
        QApplication app(argc, argv);                                        \
        TestObject tc;                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                           \
        return QTest::qExec(&tc, argc, argv);                                \
    }

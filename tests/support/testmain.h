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
        m_root.setAutoRemove(true);
        const QString root = m_root.path();
        QDir().mkpath(root + QStringLiteral("/data"));
        QDir().mkpath(root + QStringLiteral("/config"));
        QDir().mkpath(root + QStringLiteral("/work"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
        qputenv("HOME", QFile::encodeName(root));
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QDir::setCurrent(root + QStringLiteral("/work"));
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
        app.setAttribute(Qt::AA_Use96Dpi, true);                             \
        TestObject tc;                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                           \
        return QTest::qExec(&tc, argc, argv);                                \
    }

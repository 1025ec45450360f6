#include "clientterminal.h"
#include "scalewidgettree.h"
#include "tradeclient.h"
#include <QApplication>
#include <QDir>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    initTerminalResources();
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    QFont font = QApplication::font();
    font.setPointSizeF(10.0);
    QApplication::setFont(font);
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    // Lives until the process ends: its thread may still be running when the loop returns.
    auto *client = new TradeClient;
    Client_Terminal window(client);
    scaleWidgetTree(&window, dpi / 96.0);
    window.showMaximized();
    return app.exec();
}

#include "languageswitch.h"

#include <QApplication>
#include <QPointer>
#include <QTranslator>

namespace languageswitch {

bool apply(const QString &file)
{
    // Owned by the application object, so it goes before the application does.
    static QPointer<QTranslator> translator;
    if (!translator)
        translator = new QTranslator(qApp);
    QCoreApplication::removeTranslator(translator);

    bool loaded = true;
    if (!file.isEmpty()) {
        loaded = translator->load(file);
        if (loaded)
            QCoreApplication::installTranslator(translator);
    }
    // Each translation says which way its language runs.
    const bool rightToLeft =
        QCoreApplication::translate("QGuiApplication", "QT_LAYOUT_DIRECTION") == QLatin1String("RTL");
    QApplication::setLayoutDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    return loaded;
}

} // namespace languageswitch

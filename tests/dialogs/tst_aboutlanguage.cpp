// The about box's screen fitting and the language menu.
#include "aboutdialog.h"
#include "clientlanguage.h"
#include "screenfit.h"
#include "testmain.h"

#include <QMenu>
#include <QScreen>

class TestAboutLanguage : public QObject
{
    Q_OBJECT

private slots:
    void aboutDialogFitsTheScreen()
    {
        AboutDialog dialog;
        const QSize available = QGuiApplication::primaryScreen()->availableSize();
        QCOMPARE(QList<QSize>({dialog.minimumSize(), dialog.maximumSize()}),
                 QList<QSize>({QSize(700, 410), QSize(int(available.width() * 0.8), int(available.height() * 0.8))}));
    }

    // Each widget divides what it has by the factor, so the shrinking accumulates down
    // chains of widgets without a font of their own.
    void fontsShrinkByTheDpiFactor()
    {
        QWidget root;
        root.setFont(QFont(QString(), 10));
        auto *plain = new QWidget(&root);
        auto *plainChild = new QWidget(plain);
        auto *own = new QWidget(&root);
        own->setFont(QFont(QString(), 16));

        scaleFontsForDpi(&root, 2.0);
        QList<double> sizes;
        for (QWidget *widget : {&root, plain, plainChild, own})
            sizes << widget->font().pointSizeF();
        QCOMPARE(sizes, QList<double>({5, 2.5, 1.25, 8}));
        QCOMPARE(plainChild->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    }

    void languageMenu()
    {
        QMenu view;
        ClientLanguage language;
        language.createLanguageMenu(&view);
        QMenu *languages = view.actions().first()->menu();
        QCOMPARE(languages->title(), "Languages");
        QStringList order, files, checked;
        for (QAction *action : languages->actions())
            order << action->text();
        QCOMPARE(order, QStringList({"English", "Turkish", "Arabic"}));

        // Choosing the current language again loads it again; English removes the translation.
        QSignalSpy spy(&language, &ClientLanguage::languageChanged);
        for (const char *name : {"Turkish", "Turkish", "Arabic", "English"})
            languages->actions().at(order.indexOf(name))->trigger();
        for (const QList<QVariant> &arguments : std::as_const(spy))
            files << arguments.first().toString();
        const QString turkish(":/translations/translations-turkish.qm");
        QCOMPARE(files, QStringList({turkish, turkish, ":/translations/translations-arabic.qm", ""}));
        for (QAction *action : languages->actions())
            if (action->isChecked())
                checked << action->text();
        QCOMPARE(checked, QStringList{"English"});
    }
};

KESTRAL_TEST_MAIN(TestAboutLanguage)
#include "tst_aboutlanguage.moc"

// The about box's screen fitting and the language menu.
#include "aboutdialog.h"
#include "clientlanguage.h"
#include "screenfit.h"
#include "testmain.h"

#include <QLabel>
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
        QCOMPARE(dialog.maximumSize(), QSize(int(available.width() * 0.8), int(available.height() * 0.8)));
        QCOMPARE(dialog.minimumSize(), QSize(700, 410));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        // The title's own 16 points, reduced once by the screen's DPI factor.
        const double factor = QGuiApplication::primaryScreen()->logicalDotsPerInch() / 96.0;
        QCOMPARE(dialog.findChild<QLabel *>("titleLabel")->font().pointSizeF(), 16 / factor);
    }

    void fontsShrinkByTheDpiFactor_data()
    {
        QTest::addColumn<double>("factor");
        // root, plain child, its plain child, child with its own font, its plain child
        QTest::addColumn<QList<double>>("sizes");

        QTest::newRow("96 DPI changes nothing") << 1.0 << QList<double>{10, 10, 10, 16, 16};
        QTest::newRow("192 DPI accumulates down plain chains") << 2.0 << QList<double>{5, 2.5, 1.25, 8, 4};
    }
    void fontsShrinkByTheDpiFactor()
    {
        QFETCH(double, factor);
        QWidget root;
        QFont font = root.font();
        font.setPointSizeF(10);
        root.setFont(font);
        auto *plain = new QWidget(&root);
        auto *plainChild = new QWidget(plain);
        auto *own = new QWidget(&root);
        font.setPointSizeF(16);
        own->setFont(font);
        auto *ownChild = new QWidget(own);

        scaleFontsForDpi(&root, factor);
        QList<double> actual;
        for (QWidget *widget : {&root, plain, plainChild, own, ownChild})
            actual << widget->font().pointSizeF();
        QTEST(actual, "sizes");
        QCOMPARE(ownChild->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    }

    void languageMenu_data()
    {
        QTest::addColumn<QString>("chosen");  // entries triggered, in order
        QTest::addColumn<QString>("emitted"); // ":/translations/translations-<name>.qm", "-" for none
        QTest::addColumn<QString>("checked");

        QTest::newRow("nothing chosen") << "" << QString() << "";
        QTest::newRow("Arabic") << "Arabic" << QString("arabic") << "Arabic";
        QTest::newRow("Turkish twice emits twice") << "Turkish Turkish" << QString("turkish turkish") << "Turkish";
        QTest::newRow("English removes the translation") << "Arabic English" << QString("arabic -") << "English";
    }
    void languageMenu()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, emitted);
        QWidget window;
        QMenu view;
        ClientLanguage language(&window);
        language.createLanguageMenu(&view);
        QCOMPARE(view.actions().size(), 1);
        QMenu *languages = view.actions().first()->menu();
        QCOMPARE(languages->title(), QString("Languages"));
        QStringList order, checkedNames, files;
        for (QAction *action : languages->actions())
            order << action->text();
        QCOMPARE(order.join(' '), QString("English Turkish Arabic"));

        QSignalSpy spy(&language, &ClientLanguage::languageChanged);
        for (const QString &name : chosen.split(' ', Qt::SkipEmptyParts))
            languages->actions().at(order.indexOf(name))->trigger();
        for (const QList<QVariant> &arguments : std::as_const(spy)) {
            const QString file = arguments.first().toString();
            files << (file.isEmpty() ? "-" : file);
        }
        QCOMPARE(files.join(' '),
                 QString(emitted).replace(QRegularExpression("(\\w+)"), ":/translations/translations-\\1.qm"));
        for (QAction *action : languages->actions())
            if (action->isChecked())
                checkedNames << action->text();
        QTEST(checkedNames.join(','), "checked");
    }
};

KESTRAL_TEST_MAIN(TestAboutLanguage)
#include "tst_aboutlanguage.moc"

#include "editorbox.h"
#include "mainwindow.h"
#include "testsupport.h"
#include <QTest>
class TestSmoke : public QObject {
    Q_OBJECT
private slots:
    void startsWithOneDocument()
    {
        ScriptedUi ui;
        startApplication();
        QCOMPARE(ZediDove->CurrentDoc, 1);
        QCOMPARE(editor()->selStart(), 75);
        stopApplication();
    }
};
QTEST_MAIN(TestSmoke)
#include "tst_smoke.moc"

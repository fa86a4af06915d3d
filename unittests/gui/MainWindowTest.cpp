// The window on the offscreen platform with a real worker: the fields'
// normalisation at Start, the questions, the running and stopped states
// (buttons, read-only fields, menus), the worker's positions in the fields,
// the pane, Continue refused out of range, and the automatic Continue of a
// run left active.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "search/SearchJob.h"
#include "shell/IniFile.h"
#include "shell/gui/MainWindow.h"

using namespace numen;

namespace {

Settings SmallRange() {
    Settings s;
    s.Mode1 = StandardMode;
    s.Mode2 = PlusOneForm;
    s.Base = 2;
    s.nMin = 0;   // normalised to 2
    s.nMax = 3;
    s.kMin = 4;   // to 5
    s.kMax = 10;  // to 11
    s.kStep = 1;  // to 2
    s.TrayIcon = 0;
    s.WThreadPriority = 1;
    return s;
}

QString Text(MainWindow& w, const char* name) { return w.findChild<QLineEdit*>(name)->text(); }

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startNormalisesTheFieldsAndRunsToTheEnd() {
        QTemporaryDir dir;
        MainWindow w(dir.path().toStdString(), SmallRange());
        int asked = 0;
        w.ask = [&asked](const QString& q) {
            ++asked;
            return q.startsWith("Current values of k and n will be overwritten.");
        };
        w.start();
        QCOMPARE(asked, 1);
        QCOMPARE(Text(w, "nMin"), QString("2"));
        QCOMPARE(Text(w, "kMin"), QString("5"));
        QCOMPARE(Text(w, "kMax"), QString("11"));
        QCOMPARE(Text(w, "kStep"), QString("2"));
        // "cestfini" returns the window to the stopped state.
        QTRY_VERIFY_WITH_TIMEOUT(!w.control().WorkerAlive(), 20000);
        QTRY_COMPARE(w.findChild<QPushButton*>("continueButton")->text(), QString("&Continue"));
        QVERIFY(w.findChild<QPushButton*>("startButton")->isEnabled());
        QVERIFY(w.action(Command::ModeFile)->isEnabled());
        QCOMPARE(Text(w, "currentN"), QString("3"));
        QCOMPARE(Text(w, "currentK"), QString("11"));
        const QString pane = w.findChild<QPlainTextEdit*>("pane")->toPlainText();
        QVERIFY2(pane.startsWith("Start: For n=2 to 3, For k=5 to 11 step 2, k*2^n+1.\n"), qPrintable(pane));
        QVERIFY(pane.contains("5*2^3 + 1 is prime!"));
        QVERIFY(pane.endsWith("Done.\n"));
        QCOMPARE(ReadSettings(IniFile(dir.path().toStdString())).Running, 0);
    }

    void normalisationEdgeCasesThroughTheFields() {
        QTemporaryDir dir;
        Settings s = SmallRange();
        s.Base = 3;
        s.kMin = 5;
        MainWindow w(dir.path().toStdString(), s);
        w.ask = [](const QString&) { return true; };
        w.start();
        w.interruptAndWait();
        QCOMPARE(Text(w, "kMin"), QString("4"));   // odd base: even k and step
        QCOMPARE(Text(w, "kStep"), QString("2"));

        QTemporaryDir gfnDir;
        Settings g = SmallRange();
        g.Mode2 = GfnForm;
        g.nMin = 2048;
        g.nMax = 2048;
        g.kMin = 3;
        g.kMax = 99999999;
        MainWindow gfn(gfnDir.path().toStdString(), g);
        gfn.ask = [](const QString&) { return true; };
        gfn.start();
        gfn.interruptAndWait();
        // The largest even k not above 36,000,000 / 2048^0.3.
        QCOMPARE(Text(gfn, "kMax"), QString::number(uint32_t(36000000 / std::pow(2048.0, 0.3)) & ~1u));
        QCOMPARE(Text(gfn, "kMin"), QString("2"));   // made even
    }

    void noStartsNothing() {
        QTemporaryDir dir;
        MainWindow w(dir.path().toStdString(), SmallRange());
        w.ask = [](const QString&) { return false; };
        w.start();
        QVERIFY(!w.control().WorkerAlive());
        QVERIFY(w.findChild<QPlainTextEdit*>("pane")->toPlainText().isEmpty());
    }

    void stopAndContinueALongRun() {
        QTemporaryDir dir;
        Settings s = SmallRange();
        s.nMin = 3000;
        s.nMax = 4000;
        s.kMax = 99;
        MainWindow w(dir.path().toStdString(), s);
        w.ask = [](const QString&) { return true; };
        w.start();
        QPushButton* toggle = w.findChild<QPushButton*>("continueButton");
        QCOMPARE(toggle->text(), QString("&Stop"));
        QVERIFY(w.findChild<QLineEdit*>("nMin")->isReadOnly());
        QVERIFY(!w.action(Command::Test)->isEnabled());
        QVERIFY(!w.action(Command::FormGfn)->isEnabled());
        QTRY_VERIFY(!Text(w, "currentK").isEmpty() && Text(w, "currentK") != "5");
        w.continueOrStop();   // Stop
        QTRY_VERIFY_WITH_TIMEOUT(!w.control().WorkerAlive(), 20000);
        QCOMPARE(toggle->text(), QString("&Continue"));
        QVERIFY(!w.findChild<QLineEdit*>("nMin")->isReadOnly());
        const Settings stored = ReadSettings(IniFile(dir.path().toStdString()));
        QCOMPARE(stored.Running, 0);
        QCOMPARE(QString::fromStdString(stored.k), Text(w, "currentK"));

        w.continueOrStop();   // Continue from the stored position
        QCOMPARE(toggle->text(), QString("&Stop"));
        QTRY_VERIFY(w.findChild<QPlainTextEdit*>("pane")->toPlainText().contains("Continue: n=3000, k="));
        w.interruptAndWait();
        QCOMPARE(ReadSettings(IniFile(dir.path().toStdString())).Running, 1);   // as a close leaves it
    }

    void continueOutOfRangeIsRefused() {
        QTemporaryDir dir;
        Settings s = SmallRange();
        s.n = std::to_string(50);
        s.k = std::to_string(5);
        MainWindow w(dir.path().toStdString(), s);
        QString told;
        w.inform = [&told](const QString& text) { told = text; };
        w.continueOrStop();
        QCOMPARE(told, QString("Current values are out of range.\nImpossible to continue !"));
        QVERIFY(!w.control().WorkerAlive());
    }

    void aRunLeftActiveContinuesByItself() {
        QTemporaryDir dir;
        Settings s = SmallRange();
        s.nMin = 2;
        s.kMin = 5;
        s.kMax = 11;
        s.kStep = 2;
        s.n = std::to_string(3);
        s.k = std::to_string(7);
        s.Running = 1;
        MainWindow w(dir.path().toStdString(), s);
        w.resumeIfRunning();
        QTRY_VERIFY_WITH_TIMEOUT(!w.control().WorkerAlive(), 20000);
        const QString pane = w.findChild<QPlainTextEdit*>("pane")->toPlainText();
        QVERIFY2(pane.startsWith("Continue: n=3, k=7,"), qPrintable(pane));
    }

    void modesAndFormsChangeTheLayoutAndTheMenus() {
        QTemporaryDir dir;
        MainWindow w(dir.path().toStdString(), SmallRange());
        w.show();
        w.action(Command::ModeCullen)->trigger();
        QVERIFY(w.action(Command::ModeCullen)->isChecked());
        QVERIFY(!w.action(Command::FormGfn)->isEnabled());
        QVERIFY(!w.findChild<QLineEdit*>("currentN")->isVisible());
        w.action(Command::ModeFile)->trigger();
        QVERIFY(w.findChild<QLineEdit*>("fileName")->isVisible());
        QVERIFY(!w.findChild<QLineEdit*>("nMin")->isVisible());
        w.action(Command::FormGfn)->trigger();
        QVERIFY(w.action(Command::FormGfn)->isChecked());
        const Settings stored = ReadSettings(IniFile(dir.path().toStdString()));
        QCOMPARE(stored.Mode1, int(FileMode));
        QCOMPARE(stored.Mode2, int(GfnForm));
        w.action(Command::RangeInfo)->trigger();
        QCOMPARE(ReadSettings(IniFile(dir.path().toStdString())).Info, 0);
        // The a, b, c fields take digits and a leading minus only.
        QLineEdit* a = w.findChild<QLineEdit*>("a");
        a->clear();
        QTest::keyClicks(a, "-1x2");
        QCOMPARE(a->text(), QString("-12"));
    }

    void messagesReachTheFieldsAndThePane() {
        QTemporaryDir dir;
        MainWindow w(dir.path().toStdString(), SmallRange());
        w.showPosition(ListLineChanged, "17");
        QCOMPARE(Text(w, "fileLine"), QString("17"));
        w.showPosition(CurrentN, "4242");
        QCOMPARE(Text(w, "currentN"), QString("4242"));
        // The pane keeps whole lines and stays near its limit.
        const std::string line(99, 'y');
        for (int i = 0; i < 600; ++i) w.showPaneText(line + "\r\n");
        w.showPaneText("progress");
        w.showPaneText("later progress");
        const QString pane = w.findChild<QPlainTextEdit*>("pane")->toPlainText();
        QVERIFY(pane.size() <= 25100);
        QVERIFY(pane.startsWith(QString(99, 'y') + "\n"));
        QVERIFY(pane.endsWith("\nlater progress"));
        QCOMPARE(pane, QString::fromStdString(w.paneBuffer().text()));
    }

    void hideWithoutTrayAsksFirst() {
        QTemporaryDir dir;
        MainWindow w(dir.path().toStdString(), SmallRange());
        w.show();
        QString asked;
        w.ask = [&asked](const QString& q) {
            asked = q;
            return false;
        };
        w.action(Command::Hide)->trigger();
        QVERIFY(asked.startsWith("Numen is going to be hidden!"));
        QVERIFY(w.isVisible());
        w.ask = [](const QString&) { return true; };
        w.action(Command::Hide)->trigger();
        QVERIFY(!w.isVisible());
        QCOMPARE(ReadSettings(IniFile(dir.path().toStdString())).isHidden, 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"

// The option dialogs change exactly their own keys, with the limits the
// settings file keeps (Base 2..999999, PMax at most 1.15e18, nbIter below
// 16 read as 65536), and Reset All clears what it says.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include <set>
#include <string>

#include "shell/gui/OptionDialogs.h"

using namespace numen;

namespace {

// The keys whose stored form differs.
std::set<std::string> Changed(const Settings& before, const Settings& after) {
    std::set<std::string> keys;
    for (const SettingRow& row : SettingsTable())
        if (FormatSetting(row, before) != FormatSetting(row, after)) keys.insert(row.key);
    return keys;
}

Settings Distinct() {
    Settings s;
    s.Base = 7;
    s.nbIter = 1000;
    s.WThreadPriority = 1;
    s.bPMax = 1;
    s.PMax = 5e9;
    s.Morehead = 1;
    s.nMin = 10;
    s.n = "12";
    return s;
}

template <class W>
W* Child(QWidget& dialog, const char* name) {
    W* w = dialog.findChild<W*>(name);
    if (w == nullptr) qFatal("no widget %s", name);
    return w;
}

}  // namespace

class OptionDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void baseIsClampedAndAlone() {
        const Settings s = Distinct();
        BaseDialog dialog(s);
        QLineEdit* base = Child<QLineEdit>(dialog, "base");
        QCOMPARE(base->text(), QString("7"));
        QCOMPARE(base->maxLength(), 6);
        base->setText("1");
        QCOMPARE(dialog.applied(s).Base, 2u);
        base->setText("999999");
        const Settings after = dialog.applied(s);
        QCOMPARE(after.Base, 999999u);
        QCOMPARE(Changed(s, after), (std::set<std::string>{"Base"}));
    }

    void preferencesWriteTheirEightKeysOnly() {
        const Settings s = Distinct();
        PreferencesDialog dialog(s);
        QLineEdit* pMax = Child<QLineEdit>(dialog, "pMax");
        QCOMPARE(pMax->text(), QString("5000000000"));
        QVERIFY(pMax->isEnabled());
        pMax->setText("2e18");
        Child<QCheckBox>(dialog, "onlyFactors")->setChecked(true);
        Child<QCheckBox>(dialog, "noAVX")->setChecked(true);
        Child<QCheckBox>(dialog, "morehead")->setChecked(false);
        const Settings after = dialog.applied(s);
        QCOMPARE(after.PMax, kPMaxLimit);
        QCOMPARE(pMax->text(), QString("1150000000000000000"));
        QCOMPARE(Changed(s, after), (std::set<std::string>{"PMax", "OnlyFactors", "NoAVX", "Morehead"}));

        // The box enables the edit at once; Reset All clears everything.
        Child<QCheckBox>(dialog, "manualPMax")->setChecked(false);
        QVERIFY(!pMax->isEnabled());
        dialog.resetAll();
        const Settings reset = dialog.applied(s);
        QCOMPARE(reset.bPMax, 0);
        QCOMPARE(reset.OnlyFactors + reset.VerifComposites + reset.Morehead + reset.Use16bitBRT + reset.NoSSE2 +
                     reset.NoAVX,
                 0);
        QVERIFY(pMax->text().isEmpty());
        for (const std::string& key : Changed(s, reset))
            QVERIFY2((std::set<std::string>{"bPMax", "PMax", "OnlyFactors", "VerifComposites", "Morehead",
                                            "Use16bitBRT", "NoSSE2", "NoAVX"})
                         .count(key),
                     key.c_str());
    }

    void advancedTakesIterationsAndPriority() {
        const Settings s = Distinct();
        AdvancedDialog dialog(s);
        QLineEdit* nbIter = Child<QLineEdit>(dialog, "nbIter");
        QCOMPARE(nbIter->text(), QString("1000"));
        QVERIFY(Child<QRadioButton>(dialog, "normal")->isChecked());
        nbIter->setText("10");
        Child<QRadioButton>(dialog, "lowest")->setChecked(true);
        const Settings after = dialog.applied(s);
        QCOMPARE(after.nbIter, 65536u);
        QCOMPARE(after.WThreadPriority, 0);
        QCOMPARE(Changed(s, after), (std::set<std::string>{"nbIter", "WThreadPriority"}));
        nbIter->setText("500");
        dialog.resetAll();
        QCOMPARE(nbIter->text(), QString("65536"));
        QVERIFY(Child<QRadioButton>(dialog, "lowest")->isChecked());
    }

    void helpOffersTwoLanguagesAndRecordsAList() {
        HelpDialog help;
        QComboBox* language = Child<QComboBox>(help, "language");
        QCOMPARE(language->count(), 2);
        QPlainTextEdit* pane = Child<QPlainTextEdit>(help, "pane");
        QVERIFY(pane->isReadOnly());
        QVERIFY(pane->toPlainText().contains("MODES"));
        language->setCurrentIndex(1);
        QVERIFY(pane->toPlainText().contains("Une recherche active"));
        RecordsDialog records;
        QVERIFY(Child<QPlainTextEdit>(records, "pane")->toPlainText().contains("10223*2^31172165 + 1"));
    }
};

QTEST_MAIN(OptionDialogsTest)
#include "OptionDialogsTest.moc"

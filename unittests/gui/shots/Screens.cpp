// numen-screens OUTDIR: pictures of each option dialog, rendered by the
// widgets themselves (QWidget::grab), for looking at what a person sees.
// tools/screenshot-dialogs runs it under a virtual display.
#include <QApplication>
#include <QDir>
#include <QTimer>

#include "shell/gui/OptionDialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    const QDir out(argv[1]);
    numen::Settings s;
    s.Base = 10;
    s.bPMax = 1;
    s.PMax = 1e12;
    s.VerifComposites = 1;
    numen::BaseDialog base(s);
    numen::PreferencesDialog preferences(s);
    numen::AdvancedDialog advanced(s);
    numen::HelpDialog help;
    numen::RecordsDialog records;
    const std::pair<QDialog*, const char*> dialogs[] = {
        {&base, "base.png"}, {&preferences, "preferences.png"}, {&advanced, "advanced.png"},
        {&help, "help.png"}, {&records, "records.png"}};
    for (const auto& [dialog, name] : dialogs) {
        dialog->show();
        QApplication::processEvents();
        dialog->grab().save(out.filePath(name));
        dialog->hide();
    }
    return 0;
}

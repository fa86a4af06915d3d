// numen: the desktop window over the search worker.
#include <QApplication>

#include "shell/Startup.h"
#include "shell/gui/MainWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName("Numen");
    numen::Session session;
    std::string error;
    // A second instance in the same folder leaves without a word.
    if (!numen::StartSession({}, session, error)) return 1;
    const std::filesystem::path folder = session.folder.empty() ? std::filesystem::path(".") : session.folder;
    numen::MainWindow window(folder, session.settings);
    if (session.settings.isHidden == 0) {
        if (session.settings.isMinimized != 0)
            window.showMinimized();
        else
            window.show();
    }
    window.resumeIfRunning();
    return app.exec();
}

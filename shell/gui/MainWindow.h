// MainWindow: the frame, its menus, the form (range fields, current
// values, list file, description, results pane) and the tray icon, over one
// RunControl. What the commands do is the same as the console's (field
// normalisation, start, continue, stop, test, benchmarks); the window adds
// the questions, the menus' states and the pane.
#pragma once

#include <QMainWindow>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "shell/PaneBuffer.h"
#include "shell/RunControl.h"
#include "shell/WindowState.h"
#include "shell/gui/GuiOutput.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSystemTrayIcon;

namespace numen {

class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    // `settings` as the start-up read them from `folder`'s "Numen.ini".
    MainWindow(std::filesystem::path folder, Settings settings, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Yes/No questions and notices; tests answer them.
    std::function<bool(const QString&)> ask;
    std::function<void(const QString&)> inform;

    // The start-up's last step: Continue when a run was left active.
    void resumeIfRunning();

    // The worker's messages (on the window thread).
    void showPaneText(const std::string& text);
    void showPosition(int kind, const std::string& text);
    // Buttons, read-only fields, menus and tray from the running state.
    void refreshState();

    void start();            // "&Start"
    void continueOrStop();   // "&Continue" / "&Stop"
    void run(Command command);
    void interruptAndWait(); // as a close does: Running stays as it was

    RunControl& control() { return *control_; }
    QAction* action(Command command) const { return actions_[size_t(command)]; }
    const PaneBuffer& paneBuffer() const { return paneBuffer_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildForm();
    void buildMenus();
    void buildTray();
    void fillFields(const Settings& s);
    Settings withFields(Settings s) const;
    void storeFields();
    void applyLayout();
    void change(const std::function<void(Settings&)>& edit);
    void appendLog();
    void editLog();
    void toggleHidden();
    bool running() const;

    std::filesystem::path folder_;
    GuiOutput output_{*this};
    std::unique_ptr<RunControl> control_;
    PaneBuffer paneBuffer_;

    QLineEdit *nMin_, *nMax_, *kMin_, *kMax_, *kStep_, *a_, *b_, *c_, *currentN_, *currentK_, *fileName_, *fileLine_;
    QGroupBox *nGroup_, *kGroup_, *algebraicGroup_, *currentGroup_, *listGroup_;
    QLabel* description_;
    QPushButton *startButton_, *continueButton_, *toNMin_, *toKMin_;
    QPlainTextEdit* pane_;
    std::array<QAction*, kCommandCount> actions_{};
    QSystemTrayIcon* tray_ = nullptr;
    QAction* trayToggle_ = nullptr;
};

}  // namespace numen

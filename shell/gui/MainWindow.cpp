#include "shell/gui/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTextCursor>
#include <QVBoxLayout>

#include <fstream>
#include <vector>

#include "platform/Autostart.h"
#include "platform/Priority.h"
#include "report/ProgramVersion.h"
#include "search/SearchJob.h"
#include "shell/FieldNormalisation.h"
#include "shell/gui/OptionDialogs.h"

namespace numen {

namespace {

constexpr const char* kStartQuestion = "Current values of k and n will be overwritten.\nReally want to start with a new range ?";
constexpr const char* kFileStartQuestion = "Line index of file will be overwritten.\nReally want to start with a new range ?";
constexpr const char* kHideQuestion =
    "Numen is going to be hidden!\nYou will be unable to activate Numen once you validate this command.\n"
    "Numen will be visible on the Task Manager only.\nReally want to continue ?";

QLineEdit* Field(QWidget* parent, const char* name, int id, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setProperty("controlId", id);
    edit->setMaxLength(maxLength);
    return edit;
}

// A field as the settings file reads it: decimal, a negative value wraps as
// an unsigned one would (the normalisation then treats it as too large).
uint32_t UnsignedOf(const QLineEdit* edit) { return uint32_t(edit->text().trimmed().toLongLong()); }
int32_t SignedOf(const QLineEdit* edit) { return int32_t(edit->text().trimmed().toLongLong()); }

// The Filename field takes one dropped file.
class DropField final : public QObject {
public:
    explicit DropField(QLineEdit* edit) : QObject(edit), edit_(edit) {
        edit->setAcceptDrops(true);
        edit->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::DragEnter) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (drag->mimeData()->urls().size() == 1) drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const auto urls = drop->mimeData()->urls();
            if (urls.size() == 1 && urls.front().isLocalFile()) edit_->setText(urls.front().toLocalFile());
            return true;
        }
        return false;
    }

private:
    QLineEdit* edit_;
};

}  // namespace

MainWindow::MainWindow(std::filesystem::path folder, Settings settings, QWidget* parent)
    : QMainWindow(parent), folder_(std::move(folder)) {
    ask = [this](const QString& question) {
        return QMessageBox::question(this, "Numen", question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    inform = [this](const QString& text) { QMessageBox::warning(this, "Numen", text); };
    setWindowTitle("Numen");
    setObjectName("CMainWin");
    control_ = std::make_unique<RunControl>(folder_, settings, output_);
    buildForm();
    buildMenus();
    buildTray();
    fillFields(settings);
    SetProcessPriority(settings.Priority);
    if (settings.ViewLog != 0) appendLog();
    applyLayout();
    refreshState();
}

MainWindow::~MainWindow() { interruptAndWait(); }

void MainWindow::buildForm() {
    auto* form = new QWidget(this);
    form->setObjectName("form");
    auto* layout = new QVBoxLayout(form);

    nGroup_ = new QGroupBox("Range of n", form);
    auto* nLayout = new QHBoxLayout(nGroup_);
    nMin_ = Field(nGroup_, "nMin", 1007, 8);
    nMax_ = Field(nGroup_, "nMax", 1034, 8);
    nLayout->addWidget(new QLabel("For  n =", nGroup_));
    nLayout->addWidget(nMin_);
    nLayout->addWidget(new QLabel("to", nGroup_));
    nLayout->addWidget(nMax_);

    kGroup_ = new QGroupBox("Range of k", form);
    auto* kLayout = new QHBoxLayout(kGroup_);
    kMin_ = Field(kGroup_, "kMin", 1006, 10);
    kMax_ = Field(kGroup_, "kMax", 1010, 10);
    kStep_ = Field(kGroup_, "kStep", 1014, 10);
    kLayout->addWidget(new QLabel("For  k =", kGroup_));
    kLayout->addWidget(kMin_);
    kLayout->addWidget(new QLabel("to", kGroup_));
    kLayout->addWidget(kMax_);
    kLayout->addWidget(new QLabel("step", kGroup_));
    kLayout->addWidget(kStep_);

    algebraicGroup_ = new QGroupBox("k as a polynomial of n", form);
    auto* aLayout = new QHBoxLayout(algebraicGroup_);
    a_ = Field(algebraicGroup_, "a", 1012, 9);
    b_ = Field(algebraicGroup_, "b", 1013, 9);
    c_ = Field(algebraicGroup_, "c", 1015, 9);
    aLayout->addWidget(new QLabel("k =", algebraicGroup_));
    aLayout->addWidget(a_);
    aLayout->addWidget(new QLabel("+", algebraicGroup_));
    aLayout->addWidget(b_);
    aLayout->addWidget(new QLabel("n  +", algebraicGroup_));
    aLayout->addWidget(c_);
    aLayout->addWidget(new QLabel("n\u00b2", algebraicGroup_));
    for (QLineEdit* edit : {a_, b_, c_})
        connect(edit, &QLineEdit::textEdited, this, [edit](const QString& text) {
            const std::string filtered = FilterSignedField(text.toStdString());
            if (filtered != text.toStdString()) edit->setText(QString::fromStdString(filtered));
        });

    currentGroup_ = new QGroupBox("Current Values", form);
    auto* cLayout = new QGridLayout(currentGroup_);
    currentN_ = Field(currentGroup_, "currentN", 1008, 10);
    currentK_ = Field(currentGroup_, "currentK", 1016, 10);
    currentN_->setReadOnly(true);
    currentK_->setReadOnly(true);
    toNMin_ = new QPushButton("-> nMin", currentGroup_);
    toNMin_->setObjectName("toNMin");
    toKMin_ = new QPushButton("-> kMin", currentGroup_);
    toKMin_->setObjectName("toKMin");
    cLayout->addWidget(new QLabel("n", currentGroup_), 0, 0);
    cLayout->addWidget(currentN_, 0, 1);
    cLayout->addWidget(toNMin_, 0, 2);
    cLayout->addWidget(new QLabel("k", currentGroup_), 1, 0);
    cLayout->addWidget(currentK_, 1, 1);
    cLayout->addWidget(toKMin_, 1, 2);
    connect(toNMin_, &QPushButton::clicked, this, [this] { nMin_->setText(currentN_->text()); });
    connect(toKMin_, &QPushButton::clicked, this, [this] { kMin_->setText(currentK_->text()); });

    listGroup_ = new QGroupBox("List", form);
    auto* lLayout = new QHBoxLayout(listGroup_);
    fileName_ = Field(listGroup_, "fileName", 1018, 80);
    fileLine_ = Field(listGroup_, "fileLine", 1020, 10);
    new DropField(fileName_);
    lLayout->addWidget(new QLabel("Filename", listGroup_));
    lLayout->addWidget(fileName_, 3);
    lLayout->addWidget(new QLabel("Line", listGroup_));
    lLayout->addWidget(fileLine_, 1);

    description_ = new QLabel(form);
    description_->setObjectName("description");

    startButton_ = new QPushButton("&Start", form);
    startButton_->setObjectName("startButton");
    continueButton_ = new QPushButton("&Continue", form);
    continueButton_->setObjectName("continueButton");
    connect(startButton_, &QPushButton::clicked, this, [this] { start(); });
    connect(continueButton_, &QPushButton::clicked, this, [this] { continueOrStop(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(description_, 1);
    buttons->addWidget(startButton_);
    buttons->addWidget(continueButton_);

    pane_ = new QPlainTextEdit(form);
    pane_->setObjectName("pane");
    pane_->setReadOnly(true);
    pane_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pane_->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane_->setMinimumSize(640, 280);

    auto* fields = new QGridLayout;
    fields->addWidget(nGroup_, 0, 0);
    fields->addWidget(kGroup_, 1, 0);
    fields->addWidget(algebraicGroup_, 2, 0);
    fields->addWidget(listGroup_, 3, 0);
    fields->addWidget(currentGroup_, 0, 1, 3, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(pane_, 1);
    setCentralWidget(form);
    const std::vector<QWidget*> order = {nMin_,      nMax_,        kMin_,           kMax_,   kStep_,  a_,   b_, c_,
                                         fileName_, fileLine_,    startButton_,    continueButton_, toNMin_, toKMin_, pane_};
    for (size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, Command command, const std::function<void()>& handler) {
        QAction* action = menu->addAction(QString());
        action->setObjectName(QString("command%1").arg(int(command)));
        connect(action, &QAction::triggered, this, handler);
        actions_[size_t(command)] = action;
    };
    auto setting = [this](auto member) {
        return [this, member] { change([member](Settings& s) { s.*member = s.*member != 0 ? 0 : 1; }); };
    };

    QMenu* formMenu = menuBar()->addMenu("F&orm");
    add(formMenu, Command::FormGfn, [this] { change([](Settings& s) { s.Mode2 = GfnForm; }); });
    add(formMenu, Command::FormPlus, [this] { change([](Settings& s) { s.Mode2 = PlusOneForm; }); });
    add(formMenu, Command::FormMinus, [this] { change([](Settings& s) { s.Mode2 = MinusOneForm; }); });
    add(formMenu, Command::FormAny, [this] { change([](Settings& s) { s.Mode2 = AnyForm; }); });
    formMenu->addSeparator();
    add(formMenu, Command::FormBase, [this] {
        BaseDialog dialog(control_->settings(), this);
        if (dialog.exec() == QDialog::Accepted) change([&dialog](Settings& s) { s = dialog.applied(s); });
    });

    QMenu* modeMenu = menuBar()->addMenu("&Mode");
    const Command modes[] = {Command::ModeStandard, Command::ModeAlgebraic, Command::ModeCullen, Command::ModeFile,
                             Command::ModeVerifier};
    for (int mode = 0; mode < 5; ++mode)
        add(modeMenu, modes[mode], [this, mode] {
            change([mode](Settings& s) {
                s.Mode1 = mode;
                if (mode == CullenMode) {
                    s.Base = 2;
                    if (s.Mode2 > MinusOneForm) s.Mode2 = PlusOneForm;
                }
            });
        });
    modeMenu->addSeparator();
    add(modeMenu, Command::Test, [this] { run(Command::Test); });
    add(modeMenu, Command::Bench, [this] { run(Command::Bench); });
    add(modeMenu, Command::BenchGfn, [this] { run(Command::BenchGfn); });
    add(modeMenu, Command::BenchBase3, [this] { run(Command::BenchBase3); });

    QMenu* outputMenu = menuBar()->addMenu("O&utput");
    add(outputMenu, Command::RangeInfo, setting(&Settings::Info));
    QMenu* verbose = outputMenu->addMenu("&Verbose");
    add(verbose, Command::VerboseScreen, setting(&Settings::Screen));
    add(verbose, Command::VerboseFile, setting(&Settings::File));
    add(outputMenu, Command::PrintDate, setting(&Settings::PrintDate));
    add(outputMenu, Command::ViewLog, setting(&Settings::ViewLog));
    outputMenu->addSeparator();
    add(outputMenu, Command::EditLog, [this] { editLog(); });

    QMenu* optionsMenu = menuBar()->addMenu("O&ptions");
    add(optionsMenu, Command::TrayIcon, [this] {
        change([](Settings& s) { s.TrayIcon = s.TrayIcon != 0 ? 0 : 1; });
        buildTray();
    });
    add(optionsMenu, Command::Autostart, [this] {
        const bool on = control_->settings().Service == 0;
        const bool done = SetAutostart(on, QCoreApplication::applicationFilePath().toStdString(),
                                       std::filesystem::absolute(folder_));
        change([on, done](Settings& s) { s.Service = on && done ? 1 : 0; });
    });
    add(optionsMenu, Command::Hide, [this] {
        if (tray_ == nullptr && !ask(kHideQuestion)) return;
        change([](Settings& s) { s.isHidden = 1; });
        hide();
    });
    QMenu* priority = optionsMenu->addMenu("P&riority");
    const Command priorities[] = {Command::PriorityIdle, Command::PriorityNormal, Command::PriorityHigh};
    for (int level = 0; level < 3; ++level)
        add(priority, priorities[level], [this, level] {
            SetProcessPriority(level);
            change([level](Settings& s) { s.Priority = level; });
        });
    optionsMenu->addSeparator();
    add(optionsMenu, Command::Preferences, [this] {
        PreferencesDialog dialog(control_->settings(), this);
        if (dialog.exec() == QDialog::Accepted) change([&dialog](Settings& s) { s = dialog.applied(s); });
    });
    add(optionsMenu, Command::Advanced, [this] {
        AdvancedDialog dialog(control_->settings(), this);
        if (dialog.exec() == QDialog::Accepted) change([&dialog](Settings& s) { s = dialog.applied(s); });
    });
    optionsMenu->addSeparator();
    add(optionsMenu, Command::Exit, [this] { close(); });

    QMenu* helpMenu = menuBar()->addMenu("&Help");
    add(helpMenu, Command::HelpContents, [this] { HelpDialog(this).exec(); });
    add(helpMenu, Command::Records, [this] { RecordsDialog(this).exec(); });
    add(helpMenu, Command::About, [this] {
        QMessageBox::about(this, "About Numen",
                           QString("Numen\nSearches for and proves large primes of special forms.\nVersion %1")
                               .arg(kProgramVersion));
    });
}

void MainWindow::buildTray() {
    const bool wanted = control_->settings().TrayIcon != 0 && QSystemTrayIcon::isSystemTrayAvailable();
    if (!wanted) {
        delete tray_;
        tray_ = nullptr;
        return;
    }
    if (tray_ != nullptr) return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip("Numen");
    auto* menu = new QMenu(this);
    trayToggle_ = menu->addAction(isVisible() ? "Close..." : "Open...", this, [this] { toggleHidden(); });
    menu->setDefaultAction(trayToggle_);
    menu->addAction("Contents ...", this, [this] { action(Command::HelpContents)->trigger(); });
    menu->addAction("Records ...", this, [this] { action(Command::Records)->trigger(); });
    menu->addAction("About Numen ...", this, [this] { action(Command::About)->trigger(); });
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) toggleHidden();
    });
    tray_->show();
}

void MainWindow::toggleHidden() {
    if (isVisible()) {
        hide();
        change([](Settings& s) { s.isHidden = 1; });
    } else {
        showNormal();
        raise();
        activateWindow();
        if (tray_ != nullptr) tray_->setToolTip("Numen");
        change([](Settings& s) { s.isHidden = 0; });
    }
    if (trayToggle_ != nullptr) trayToggle_->setText(isVisible() ? "Close..." : "Open...");
}

void MainWindow::fillFields(const Settings& s) {
    nMin_->setText(QString::number(s.nMin));
    nMax_->setText(QString::number(s.nMax));
    kMin_->setText(QString::number(s.kMin));
    kMax_->setText(QString::number(s.kMax));
    kStep_->setText(QString::number(s.kStep));
    a_->setText(QString::number(s.a));
    b_->setText(QString::number(s.b));
    c_->setText(QString::number(s.c));
    currentN_->setText(QString::fromStdString(s.n));
    currentK_->setText(QString::fromStdString(s.k));
    fileName_->setText(QString::fromStdString(s.VerifierFilename));
    fileLine_->setText(QString::number(s.FileLine));
}

Settings MainWindow::withFields(Settings s) const {
    s.nMin = UnsignedOf(nMin_);
    s.nMax = UnsignedOf(nMax_);
    s.kMin = UnsignedOf(kMin_);
    s.kMax = UnsignedOf(kMax_);
    s.kStep = UnsignedOf(kStep_);
    s.a = SignedOf(a_);
    s.b = SignedOf(b_);
    s.c = SignedOf(c_);
    s.VerifierFilename = fileName_->text().toStdString();
    s.FileLine = SignedOf(fileLine_);
    return s;
}

void MainWindow::storeFields() {
    if (running()) return;   // the fields are read-only while a run goes
    control_->ChangeSettings(withFields(control_->settings()));
}

void MainWindow::change(const std::function<void(Settings&)>& edit) {
    Settings s = running() ? control_->settings() : withFields(control_->settings());
    edit(s);
    control_->ChangeSettings(s);
    applyLayout();
    refreshState();
}

void MainWindow::applyLayout() {
    const Settings s = control_->settings();
    const FieldLayout layout = FieldLayoutFor(s.Mode1, s.Mode2, s.Base);
    nGroup_->setVisible(layout.nRange);
    listGroup_->setVisible(layout.listFile);
    kGroup_->setVisible(layout.kRange);
    algebraicGroup_->setVisible(layout.algebraic);
    currentGroup_->setVisible(layout.currentValues);
    description_->setVisible(layout.description);
    description_->setText(QString::fromStdString(layout.descriptionText));
}

bool MainWindow::running() const { return control_->WorkerAlive() && control_->job().running.load(); }

void MainWindow::refreshState() {
    const bool isRunning = control_->WorkerAlive() && control_->job().running.load();
    const MenuStates states = MenuStatesFor(control_->settings(), isRunning);
    for (size_t i = 0; i < kCommandCount; ++i) {
        QAction* a = actions_[i];
        if (a == nullptr) continue;
        const CommandState& state = states[i];
        a->setText(QString::fromStdString(state.text));
        a->setEnabled(state.enabled);
        a->setCheckable(state.checkable);
        a->setChecked(state.checked);
        a->setVisible(state.shown);
    }
    startButton_->setEnabled(!isRunning);
    toNMin_->setEnabled(!isRunning);
    toKMin_->setEnabled(!isRunning);
    continueButton_->setText(isRunning ? "&Stop" : "&Continue");
    for (QLineEdit* edit : {nMin_, nMax_, kMin_, kMax_, kStep_, a_, b_, c_, fileName_, fileLine_})
        edit->setReadOnly(isRunning);
}

void MainWindow::start() {
    if (control_->WorkerAlive()) return;
    const Settings s = withFields(control_->settings());
    if (s.Mode1 == FileMode) {
        if (!ask(kFileStartQuestion)) return;
    } else if (s.Mode1 != VerifierMode) {
        if (!ask(kStartQuestion)) return;
    }
    control_->ChangeSettings(s);
    control_->StartRun(false);
    fillFields(control_->settings());
    refreshState();
}

void MainWindow::continueOrStop() {
    if (control_->WorkerAlive() && control_->job().running.load()) {
        control_->Stop();
        refreshState();
        return;
    }
    if (control_->WorkerAlive()) return;
    control_->ChangeSettings(withFields(control_->settings()));
    const StartResult result = control_->StartRun(true);
    fillFields(control_->settings());
    if (result == StartResult::OutOfRange) inform(kOutOfRangeText);
    refreshState();
}

void MainWindow::resumeIfRunning() {
    if (control_->settings().Running != 0) continueOrStop();
}

void MainWindow::run(Command command) {
    if (control_->WorkerAlive()) return;
    WorkerCommand worker = WorkerCommand::SelfTest;
    if (command == Command::Bench) worker = WorkerCommand::Benchmark;
    if (command == Command::BenchGfn) worker = WorkerCommand::GfnBenchmark;
    if (command == Command::BenchBase3) worker = WorkerCommand::Base3Benchmark;
    control_->StartCommand(worker);
    refreshState();
}

void MainWindow::showPaneText(const std::string& text) {
    const PaneEdit edit = paneBuffer_.show(text);
    QTextCursor cursor(pane_->document());
    if (edit.trimFront > 0) {
        cursor.setPosition(0);
        cursor.setPosition(int(edit.trimFront), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.setPosition(int(edit.replaceFrom));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(edit.insert));
    pane_->verticalScrollBar()->setValue(pane_->verticalScrollBar()->maximum());
    const QString shown = QString::fromStdString(text).trimmed();
    if (isMinimized()) setWindowTitle(shown);
    if (tray_ != nullptr && !isVisible()) tray_->setToolTip(shown.left(63));
}

void MainWindow::showPosition(int kind, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (kind == CurrentN) {
        currentN_->setText(value);
        if (control_->settings().Mode1 == CullenMode) nMin_->setText(value);
    } else if (kind == CurrentK) {
        currentK_->setText(value);
    } else if (kind == ListLineChanged) {
        fileLine_->setText(value);
    }
}

void MainWindow::appendLog() {
    std::ifstream log(folder_ / "Numen.log");
    std::string line;
    while (std::getline(log, line)) {
        if (line.size() > 255) line.resize(255);
        showPaneText(line + "\r\n");
    }
}

void MainWindow::editLog() {
    const QString log = QString::fromStdString((folder_ / "Numen.log").string());
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const QString editor = qEnvironmentVariable(variable);
        if (!editor.isEmpty()) {
            QProcess::execute("/bin/sh", {"-c", editor + " \"$0\"", log});
            return;
        }
    }
    QProcess::execute("xdg-open", {log});
}

void MainWindow::interruptAndWait() {
    if (!control_) return;
    control_->Interrupt();
    // The worker may be waiting for this thread to show a text.
    while (control_->WorkerAlive()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    control_->Wait();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const bool wasRunning = running();
    if (!wasRunning) {
        const Settings normalised = NormaliseFields(withFields(control_->settings()));
        control_->ChangeSettings(normalised);
    }
    interruptAndWait();
    delete tray_;
    tray_ = nullptr;
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        if (isMinimized() && tray_ != nullptr) {
            hide();
            change([](Settings& s) { s.isHidden = 1; });
        } else {
            const int minimised = isMinimized() ? 1 : 0;
            if (minimised == 0) setWindowTitle("Numen");
            if (control_) change([minimised](Settings& s) { s.isMinimized = minimised; });
        }
    }
    QMainWindow::changeEvent(event);
}

}  // namespace numen

// GuiOutput: the worker's messages into the window. Each call runs on the
// window's thread while the worker waits (a blocking queued call), so the
// window has shown and stored a value before the worker goes on.
#pragma once

#include <functional>

#include "shell/RunControl.h"

class QObject;

namespace numen {

class MainWindow;

class GuiOutput final : public RunOutput {
public:
    explicit GuiOutput(MainWindow& window) : window_(window) {}
    void showPaneText(std::string_view text) override;
    void showBlockingMessage(std::string_view text, const std::atomic<bool>& running) override;
    void showPosition(int kind, std::string_view text) override;
    void runEnded() override;

private:
    void onWindowThread(const std::function<void()>& call);
    MainWindow& window_;
};

}  // namespace numen

#include "shell/gui/GuiOutput.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "shell/gui/MainWindow.h"

namespace numen {

void GuiOutput::onWindowThread(const std::function<void()>& call) {
    if (QThread::currentThread() == window_.thread())
        call();
    else
        QMetaObject::invokeMethod(&window_, call, Qt::BlockingQueuedConnection);
}

void GuiOutput::showPaneText(std::string_view text) {
    const std::string copy(text);
    onWindowThread([this, &copy] { window_.showPaneText(copy); });
}

void GuiOutput::showBlockingMessage(std::string_view text, const std::atomic<bool>&) {
    const QString copy = QString::fromUtf8(text.data(), qsizetype(text.size()));
    onWindowThread([this, &copy] { QMessageBox::warning(&window_, "Numen", copy); });
}

void GuiOutput::showPosition(int kind, std::string_view text) {
    const std::string copy(text);
    onWindowThread([this, kind, &copy] { window_.showPosition(kind, copy); });
}

void GuiOutput::runEnded() {
    onWindowThread([this] { window_.refreshState(); });
}

}  // namespace numen

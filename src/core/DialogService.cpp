#include "core/DialogService.h"

#include <stdexcept>
#include <string>

namespace core {

namespace {

template <typename Queue> auto takeFront(Queue& queue, const std::string& what) {
    if (queue.empty()) throw std::logic_error("no answer queued for " + what);
    auto answer = queue.front();
    queue.pop_front();
    return answer;
}

} // namespace

DialogService::~DialogService() = default;

int ScriptedDialogService::pendingAnswers() const {
    return static_cast<int>(fileNames_.size() + fonts_.size() + colors_.size() +
                            printerSetups_.size());
}

void ScriptedDialogService::clear() {
    fileNames_.clear();
    fonts_.clear();
    colors_.clear();
    printerSetups_.clear();
    fileDialogs_.clear();
    fontDialogs_.clear();
    colorDialogs_.clear();
    printerSetupCount_ = 0;
}

QString ScriptedDialogService::takeFileName(FileDialogKind kind, const FileDialogRequest& request) {
    fileDialogs_.push_back({kind, request});
    return takeFront(fileNames_, "file dialog: " + request.title.toStdString());
}

QString ScriptedDialogService::getOpenFileName(const FileDialogRequest& request) {
    return takeFileName(FileDialogKind::Open, request);
}

QString ScriptedDialogService::getSaveFileName(const FileDialogRequest& request) {
    return takeFileName(FileDialogKind::Save, request);
}

std::optional<FontChoice> ScriptedDialogService::getFont(const FontDialogRequest& request) {
    fontDialogs_.push_back(request);
    return takeFront(fonts_, "font dialog: " + request.title.toStdString());
}

std::optional<QColor> ScriptedDialogService::getColor(const ColorDialogRequest& request) {
    colorDialogs_.push_back(request);
    return takeFront(colors_, "color dialog: " + request.title.toStdString());
}

bool ScriptedDialogService::printerSetup() {
    ++printerSetupCount_;
    return takeFront(printerSetups_, "printer setup");
}

} // namespace core

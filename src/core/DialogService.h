#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

// The file, font, color and printer-setup dialogs of the program go through a DialogService,
// like the message boxes go through the MessageService. The running program shows the real
// dialogs; tests queue the user's choices in advance and never wait on a modal dialog.
namespace core {

struct FileDialogRequest {
    QString title{};
    // Qt's form: "Database Files (*.DBF)"; several types are joined by ";;".
    QString filter{};
    // Added to a typed name that has none, e.g. "DBF" (a leading "." is ignored).
    QString defaultSuffix{};
    QString directory{};          // where the dialog starts; empty: wherever it likes
    QString fileName{};           // the name it offers; empty: none
    bool fileMustExist = false;   // only an existing file can be chosen
    bool pathMustExist = false;   // the chosen name's folder must exist
    bool promptOverwrite = false; // ask before a chosen existing file is replaced
};

struct FontDialogRequest {
    QString title{};
    QFont font{};
    QColor color{Qt::black};
    // Whether the dialog offers underline, strike-out and the color.
    bool showEffects = false;
    // Point sizes the user may choose; 0 means no limit on that side.
    int minPointSize = 0;
    int maxPointSize = 0;
};

struct FontChoice {
    QFont font{};
    QColor color{Qt::black};
};

struct ColorDialogRequest {
    QString title{};
    QColor color{Qt::black};
};

class DialogService {
public:
    virtual ~DialogService();

    // The chosen path, or an empty string when the user cancels.
    virtual QString getOpenFileName(const FileDialogRequest& request) = 0;
    virtual QString getSaveFileName(const FileDialogRequest& request) = 0;
    // The chosen font and color, or nothing when the user cancels.
    virtual std::optional<FontChoice> getFont(const FontDialogRequest& request) = 0;
    // The chosen color, or nothing when the user cancels.
    virtual std::optional<QColor> getColor(const ColorDialogRequest& request) = 0;
    // Lets the user choose the printer and its paper; true when the user confirms.
    virtual bool printerSetup() = 0;
};

enum class FileDialogKind { Open, Save };

struct FileDialogAsked {
    FileDialogKind kind;
    FileDialogRequest request;
};

// Answers every dialog from answers queued in advance, one queue per kind of dialog, and
// records what it was asked. A dialog asked with nothing queued for it throws
// std::logic_error: a test that forgot a dialog must fail, not hang or guess.
class ScriptedDialogService : public DialogService {
public:
    // An empty path answers as Cancel.
    void queueFileName(const QString& path) { fileNames_.push_back(path); }
    // Nothing answers as Cancel.
    void queueFont(const std::optional<FontChoice>& choice) { fonts_.push_back(choice); }
    void queueColor(const std::optional<QColor>& color) { colors_.push_back(color); }
    void queuePrinterSetup(bool accepted) { printerSetups_.push_back(accepted); }

    // Answers not yet taken, of all kinds together.
    int pendingAnswers() const;

    const std::vector<FileDialogAsked>& fileDialogs() const { return fileDialogs_; }
    const std::vector<FontDialogRequest>& fontDialogs() const { return fontDialogs_; }
    const std::vector<ColorDialogRequest>& colorDialogs() const { return colorDialogs_; }
    int printerSetups() const { return printerSetupCount_; }
    void clear();

    QString getOpenFileName(const FileDialogRequest& request) override;
    QString getSaveFileName(const FileDialogRequest& request) override;
    std::optional<FontChoice> getFont(const FontDialogRequest& request) override;
    std::optional<QColor> getColor(const ColorDialogRequest& request) override;
    bool printerSetup() override;

private:
    QString takeFileName(FileDialogKind kind, const FileDialogRequest& request);

    std::deque<QString> fileNames_;
    std::deque<std::optional<FontChoice>> fonts_;
    std::deque<std::optional<QColor>> colors_;
    std::deque<bool> printerSetups_;

    std::vector<FileDialogAsked> fileDialogs_;
    std::vector<FontDialogRequest> fontDialogs_;
    std::vector<ColorDialogRequest> colorDialogs_;
    int printerSetupCount_ = 0;
};

} // namespace core

#include "ui/QtDialogService.h"

#include "ui/QtMessageService.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

namespace {

// Qt's file dialog does not check that the folder of a typed name exists; this one refuses
// such a name and stays open, as the user expects of a save dialog.
class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget* parent, const core::FileDialogRequest& request)
        : QFileDialog(parent, request.title, startPath(request), request.filter),
          pathMustExist_(request.pathMustExist) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (pathMustExist_ && !files.isEmpty()) {
            const QFileInfo chosen(files.first());
            if (!chosen.isDir() && !chosen.absoluteDir().exists()) {
                QMessageBox::warning(this, windowTitle(),
                                     tr("%1\nThe folder does not exist.\n"
                                        "Check the folder name and try again.")
                                         .arg(QDir::toNativeSeparators(chosen.filePath())));
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    static QString startPath(const core::FileDialogRequest& request) {
        if (request.directory.isEmpty()) return request.fileName;
        if (request.fileName.isEmpty()) return request.directory;
        return QDir(request.directory).filePath(request.fileName);
    }

    bool pathMustExist_;
};

QString runFileDialog(const core::FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    FileDialog dialog(QtMessageService::currentOwner(), request);
    // Qt's own dialog matches the filter's patterns without regard to case, so "*.DBF" also
    // shows the "master.dbf" that other dBASE tools write; desktop dialogs may not.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptOverwrite);
    if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void paintSample(QLabel& sample, const QColor& color) {
    QPalette palette = sample.palette();
    palette.setColor(QPalette::Window, color);
    sample.setPalette(palette);
}

// Qt's font dialog without its buttons, with a color choice and the size limits below it.
class FontDialog : public QDialog {
public:
    FontDialog(QWidget* parent, const core::FontDialogRequest& request)
        : QDialog(parent), request_(request), color_(request.color) {
        setWindowTitle(request.title.isEmpty() ? tr("Font") : request.title);
        fonts_ = new QFontDialog(this);
        fonts_->setWindowFlags(Qt::Widget);
        fonts_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
        fonts_->setCurrentFont(request.font);

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(fonts_);
        if (request.showEffects) {
            auto* row = new QHBoxLayout;
            sample_ = new QLabel(this);
            sample_->setObjectName(QStringLiteral("ColorSample"));
            sample_->setAccessibleName(tr("Font color"));
            sample_->setFrameShape(QFrame::Box);
            sample_->setMinimumSize(48, 20);
            sample_->setAutoFillBackground(true);
            paintSample(*sample_, color_);
            auto* colorButton = new QPushButton(tr("C&olor..."), this);
            colorButton->setObjectName(QStringLiteral("ColorButton"));
            connect(colorButton, &QPushButton::clicked, this, &FontDialog::chooseColor);
            row->addWidget(new QLabel(tr("Color:"), this));
            row->addWidget(sample_);
            row->addWidget(colorButton);
            row->addStretch();
            layout->addLayout(row);
        } else {
            // Underline and strike-out sit in a group of their own; without effects it goes.
            for (QCheckBox* box : fonts_->findChildren<QCheckBox*>()) {
                if (auto* group = qobject_cast<QGroupBox*>(box->parentWidget())) group->hide();
            }
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &FontDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &FontDialog::reject);
        layout->addWidget(buttons);
    }

    void accept() override {
        const int size = fonts_->currentFont().pointSize();
        const bool tooSmall = request_.minPointSize > 0 && size < request_.minPointSize;
        const bool tooLarge = request_.maxPointSize > 0 && size > request_.maxPointSize;
        if (size > 0 && (tooSmall || tooLarge)) {
            const QString range =
                request_.maxPointSize > 0
                    ? tr("Size must be between %1 and %2 points.")
                          .arg(request_.minPointSize)
                          .arg(request_.maxPointSize)
                    : tr("Size must be at least %1 points.").arg(request_.minPointSize);
            QMessageBox::warning(this, windowTitle(), range);
            return;
        }
        QDialog::accept();
    }

    core::FontChoice choice() const {
        QFont font = fonts_->currentFont();
        if (!request_.showEffects) {
            font.setUnderline(request_.font.underline());
            font.setStrikeOut(request_.font.strikeOut());
        }
        return {font, color_};
    }

private:
    void chooseColor() {
        const QColor chosen = QColorDialog::getColor(color_, this);
        if (!chosen.isValid()) return;
        color_ = chosen;
        paintSample(*sample_, color_);
    }

    core::FontDialogRequest request_;
    QFontDialog* fonts_ = nullptr;
    QLabel* sample_ = nullptr;
    QColor color_;
};

} // namespace

QtDialogService::QtDialogService(QPrinter* printer) : printer_(printer) {
    if (!printer_) {
        ownPrinter_ = std::make_unique<QPrinter>();
        printer_ = ownPrinter_.get();
    }
}

QtDialogService::~QtDialogService() = default;

QString QtDialogService::getOpenFileName(const core::FileDialogRequest& request) {
    return runFileDialog(request, QFileDialog::AcceptOpen);
}

QString QtDialogService::getSaveFileName(const core::FileDialogRequest& request) {
    return runFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<core::FontChoice> QtDialogService::getFont(const core::FontDialogRequest& request) {
    FontDialog dialog(QtMessageService::currentOwner(), request);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.choice();
}

std::optional<QColor> QtDialogService::getColor(const core::ColorDialogRequest& request) {
    QColorDialog dialog(request.color, QtMessageService::currentOwner());
    if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedColor();
}

bool QtDialogService::printerSetup() {
    QPrintDialog dialog(printer_, QtMessageService::currentOwner());
    dialog.setWindowTitle(QObject::tr("Printer Setup"));
    // Choosing the printer and its paper only: pages are chosen where a report is printed.
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    // The dialog confirms with "Print"; here nothing is printed yet.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText(QObject::tr("OK"));
    }
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ui

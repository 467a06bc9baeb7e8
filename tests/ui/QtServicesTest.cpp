#include "ui/QtDialogService.h"
#include "ui/QtMessageService.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using core::MessageButton;
using core::MessageButtons;

namespace {

// Runs the action on the next modal window of type T once it is up. The action must close the
// window whatever it finds, or the test would wait on it: it records, the test compares.
template <typename T> void whenModal(std::function<void(T*)> action, int triesLeft = 200) {
    QTimer::singleShot(10, [action = std::move(action), triesLeft] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
            window && window->isVisible()) {
            action(window);
        } else if (triesLeft > 0) {
            whenModal<T>(action, triesLeft - 1);
        }
    });
}

void accept(QDialog* dialog) {
    if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
                button->click();
                return;
            }
        }
    }
    dialog->accept();
}

} // namespace

class QtServicesTest : public QObject {
    Q_OBJECT

private slots:
    void messageBoxShowsTheMessageAndReturnsTheButton_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton"); // -1: none given
        QTest::addColumn<int>("pressed");       // a QMessageBox button, or Escape
        QTest::addColumn<int>("startsOn");      // the QMessageBox button that has the focus
        QTest::addColumn<int>("answer");

        const int none = -1;
        const int escape = QMessageBox::Escape;
        QTest::newRow("warning: Yes/No/Cancel starting on No, Cancel pressed")
            << int(MessageButtons::YesNoCancel) << int(MessageButton::No)
            << int(QMessageBox::Cancel) << int(QMessageBox::No) << int(MessageButton::Cancel);
        QTest::newRow("confirm: Yes/No, Yes pressed")
            << int(MessageButtons::YesNo) << none << int(QMessageBox::Yes) << int(QMessageBox::Yes)
            << int(MessageButton::Yes);
        QTest::newRow("Yes/No left with Escape is No")
            << int(MessageButtons::YesNo) << none << escape << int(QMessageBox::Yes)
            << int(MessageButton::No);
        QTest::newRow("OK/Cancel left with Escape is Cancel")
            << int(MessageButtons::OkCancel) << none << escape << int(QMessageBox::Ok)
            << int(MessageButton::Cancel);
        QTest::newRow("notice: OK left with Escape is OK")
            << int(MessageButtons::Ok) << none << escape << int(QMessageBox::Ok)
            << int(MessageButton::Ok);
    }

    void messageBoxShowsTheMessageAndReturnsTheButton() {
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        QFETCH(int, pressed);
        QFETCH(int, startsOn);
        QFETCH(int, answer);

        QDialog owner;
        owner.setWindowTitle(QStringLiteral("Owner"));
        owner.show();
        owner.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&owner));

        core::Message message{
            .caption = QStringLiteral("Warning"),
            // Two blanks after a full stop and a "<" that must not turn into markup.
            .text = QStringLiteral("Data has changed.  Update <all>?"),
            .buttons = MessageButtons(buttons),
            .icon = core::MessageIcon::Warning,
        };
        if (defaultButton >= 0) message.defaultButton = MessageButton(defaultButton);

        QString caption, text;
        QWidget* parent = nullptr;
        QMessageBox::StandardButtons offered;
        QMessageBox::Icon icon{};
        int focused = 0;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            parent = box->parentWidget();
            offered = box->standardButtons();
            icon = box->icon();
            focused = box->defaultButton() ? int(box->standardButton(box->defaultButton())) : 0;
            if (pressed == QMessageBox::Escape) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->button(QMessageBox::StandardButton(pressed))->click();
            }
        });
        ui::QtMessageService service;
        QCOMPARE(int(service.show(message)), answer);

        QCOMPARE(caption, QStringLiteral("Warning"));
        QCOMPARE(text, message.text);
        QCOMPARE(parent, &owner);
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(focused, startsOn);
        for (auto button :
             {MessageButton::Ok, MessageButton::Cancel, MessageButton::Yes, MessageButton::No}) {
            const QMessageBox::StandardButton standard[] = {QMessageBox::Ok, QMessageBox::Cancel,
                                                            QMessageBox::Yes, QMessageBox::No};
            QCOMPARE(offered.testFlag(standard[int(button)]),
                     core::offers(message.buttons, button));
        }
    }

    void saveDialogAddsTheSuffixAndRefusesAMissingFolder() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const core::FileDialogRequest request{
            .title = QStringLiteral("New Database File"),
            .filter = QStringLiteral("Database Files (*.DBF)"),
            .defaultSuffix = QStringLiteral("DBF"),
            .directory = folder.path(),
            .pathMustExist = true,
            .promptOverwrite = true,
        };

        QString title, suffix;
        QStringList filters;
        bool confirmsOverwrite = false;
        QFileDialog::FileMode mode{};
        QString refusal;
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            suffix = dialog->defaultSuffix();
            filters = dialog->nameFilters();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            mode = dialog->fileMode();
            // A name in a folder that is not there is refused and the dialog stays open.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            whenModal<QMessageBox>([&, dialog, name](QMessageBox* box) {
                refusal = box->text();
                box->accept();
                whenModal<QFileDialog>([name](QFileDialog* stillOpen) {
                    name->setText(QStringLiteral("HOME"));
                    static_cast<QDialog*>(stillOpen)->accept();
                });
            });
            name->setText(QStringLiteral("missing/HOME"));
            static_cast<QDialog*>(dialog)->accept();
        });
        ui::QtDialogService service;
        const QString chosen = service.getSaveFileName(request);

        QCOMPARE(chosen, folder.filePath(QStringLiteral("HOME.DBF")));
        QCOMPARE(title, QStringLiteral("New Database File"));
        QCOMPARE(suffix, QStringLiteral("DBF"));
        QCOMPARE(filters, QStringList{QStringLiteral("Database Files (*.DBF)")});
        QVERIFY(confirmsOverwrite);
        QCOMPARE(mode, QFileDialog::AnyFile);
        QVERIFY2(refusal.contains(QStringLiteral("does not exist")), qPrintable(refusal));
    }

    void openDialogOffersTheFileNameAndCancelGivesNothing() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFileDialog::FileMode mode{};
        QString offered;
        whenModal<QFileDialog>([&](QFileDialog* dialog) {
            mode = dialog->fileMode();
            offered = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            dialog->reject();
        });
        ui::QtDialogService service;
        const QString chosen = service.getOpenFileName({.title = QStringLiteral("Restore URP File"),
                                                        .filter = QStringLiteral("(*.URP)"),
                                                        .directory = folder.path(),
                                                        .fileName = QStringLiteral("TALBEX.URP"),
                                                        .fileMustExist = true});
        QVERIFY(chosen.isEmpty());
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QCOMPARE(offered, QStringLiteral("TALBEX.URP"));
    }

    void fontDialogGivesFontAndColorWithinTheSizeLimits() {
        QFont preset(QStringLiteral("Serif"));
        preset.setPointSize(20);
        preset.setUnderline(true);
        const core::FontDialogRequest request{.font = preset,
                                              .color = QColor(Qt::darkGreen),
                                              .showEffects = true,
                                              .minPointSize = 6,
                                              .maxPointSize = 16};

        QString refusal;
        whenModal<QDialog>([&](QDialog* dialog) {
            // 20 points is over the limit: refused, the dialog stays.
            whenModal<QMessageBox>([&, dialog](QMessageBox* box) {
                refusal = box->text();
                box->accept();
                whenModal<QDialog>([](QDialog* stillOpen) {
                    QFont smaller = stillOpen->findChild<QFontDialog*>()->currentFont();
                    smaller.setPointSize(12);
                    stillOpen->findChild<QFontDialog*>()->setCurrentFont(smaller);
                    accept(stillOpen);
                });
            });
            accept(dialog);
        });
        ui::QtDialogService service;
        const auto choice = service.getFont(request);

        QCOMPARE(refusal, QStringLiteral("Size must be between 6 and 16 points."));
        QVERIFY(choice.has_value());
        QCOMPARE(choice->font.pointSize(), 12);
        QVERIFY(choice->font.underline());
        QCOMPARE(choice->color, QColor(Qt::darkGreen));

        whenModal<QDialog>([](QDialog* dialog) { dialog->reject(); });
        QVERIFY(!service.getFont(request).has_value());
    }

    void fontDialogWithoutEffectsKeepsThePresetOnes() {
        QFont preset(QStringLiteral("Serif"), 10);
        preset.setStrikeOut(true);
        bool colorOffered = true;
        whenModal<QDialog>([&](QDialog* dialog) {
            colorOffered = dialog->findChild<QPushButton*>(QStringLiteral("ColorButton"));
            QFontDialog* fonts = dialog->findChild<QFontDialog*>();
            QFont plain = fonts->currentFont();
            plain.setStrikeOut(false);
            fonts->setCurrentFont(plain);
            accept(dialog);
        });
        ui::QtDialogService service;
        const auto choice = service.getFont({.font = preset, .color = Qt::blue});
        QVERIFY(choice.has_value());
        QVERIFY(!colorOffered);
        QVERIFY(choice->font.strikeOut());
        QCOMPARE(choice->color, QColor(Qt::blue));
    }

    void colorDialogStartsOnThePresetAndGivesTheChoice() {
        QColor startedOn;
        whenModal<QColorDialog>([&](QColorDialog* dialog) {
            startedOn = dialog->currentColor();
            dialog->setCurrentColor(QColor(12, 34, 56));
            dialog->accept();
        });
        ui::QtDialogService service;
        QCOMPARE(service.getColor({.color = QColor(192, 192, 192)}), QColor(12, 34, 56));
        QCOMPARE(startedOn, QColor(192, 192, 192));

        whenModal<QColorDialog>([](QColorDialog* dialog) { dialog->reject(); });
        QVERIFY(!service.getColor({.color = Qt::red}).has_value());
    }

    void printerSetupReportsWhetherTheUserConfirmed() {
        QString title, confirm;
        whenModal<QPrintDialog>([&](QPrintDialog* dialog) {
            title = dialog->windowTitle();
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            confirm = buttons ? buttons->button(QDialogButtonBox::Ok)->text() : QString();
            dialog->reject();
        });
        ui::QtDialogService service;
        QVERIFY(!service.printerSetup());
        QCOMPARE(title, QStringLiteral("Printer Setup"));
        // Setting up prints nothing, so the button does not say it does.
        QCOMPARE(confirm, QStringLiteral("OK"));
    }
};

QTEST_MAIN(QtServicesTest)
#include "QtServicesTest.moc"

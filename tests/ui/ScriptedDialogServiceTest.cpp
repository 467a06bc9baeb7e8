#include "core/DialogService.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using core::FileDialogKind;
using core::FileDialogRequest;

FileDialogRequest openDatabase() {
    return {.title = QStringLiteral("Open Database File"),
            .filter = QStringLiteral("Database Files (*.DBF)"),
            .defaultSuffix = QStringLiteral("DBF"),
            .fileMustExist = true};
}

TEST(ScriptedDialogs, AnswersEachKindFromItsOwnQueueAndRecordsTheRequests) {
    core::ScriptedDialogService dialogs;
    dialogs.queueFileName(QStringLiteral("/data/HOME.DBF"));
    dialogs.queueFileName(QString()); // the second file dialog is cancelled
    dialogs.queueColor(QColor(Qt::red));
    dialogs.queueFont(core::FontChoice{QFont(QStringLiteral("Times New Roman"), 12), Qt::blue});
    dialogs.queueFont(std::nullopt);
    dialogs.queuePrinterSetup(false);
    EXPECT_EQ(dialogs.pendingAnswers(), 6);

    // Asked in another order than queued: each kind keeps its own order.
    EXPECT_EQ(dialogs.getColor({.color = Qt::white}), QColor(Qt::red));
    EXPECT_EQ(dialogs.getOpenFileName(openDatabase()), QStringLiteral("/data/HOME.DBF"));
    const auto font = dialogs.getFont({.font = QFont(QStringLiteral("Arial"), 10),
                                       .showEffects = true,
                                       .minPointSize = 6,
                                       .maxPointSize = 16});
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->font.family(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(font->color, QColor(Qt::blue));
    EXPECT_TRUE(
        dialogs.getSaveFileName({.title = QStringLiteral("Export Data"), .promptOverwrite = true})
            .isEmpty());
    EXPECT_FALSE(dialogs.getFont({}).has_value());
    EXPECT_FALSE(dialogs.printerSetup());
    EXPECT_EQ(dialogs.pendingAnswers(), 0);

    ASSERT_EQ(dialogs.fileDialogs().size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs()[0].kind, FileDialogKind::Open);
    EXPECT_EQ(dialogs.fileDialogs()[0].request.filter, QStringLiteral("Database Files (*.DBF)"));
    EXPECT_TRUE(dialogs.fileDialogs()[0].request.fileMustExist);
    EXPECT_EQ(dialogs.fileDialogs()[1].kind, FileDialogKind::Save);
    EXPECT_TRUE(dialogs.fileDialogs()[1].request.promptOverwrite);
    ASSERT_EQ(dialogs.fontDialogs().size(), 2u);
    EXPECT_EQ(dialogs.fontDialogs()[0].maxPointSize, 16);
    ASSERT_EQ(dialogs.colorDialogs().size(), 1u);
    EXPECT_EQ(dialogs.colorDialogs()[0].color, QColor(Qt::white));
    EXPECT_EQ(dialogs.printerSetups(), 1);
}

TEST(ScriptedDialogs, FailsLoudlyOnADialogWithNothingQueued) {
    core::ScriptedDialogService dialogs;
    // An answer of one kind does not answer a dialog of another.
    dialogs.queueColor(QColor(Qt::green));
    EXPECT_THROW(dialogs.getOpenFileName(openDatabase()), std::logic_error);
    EXPECT_THROW(dialogs.getSaveFileName(openDatabase()), std::logic_error);
    EXPECT_THROW(dialogs.getFont({}), std::logic_error);
    EXPECT_THROW(dialogs.printerSetup(), std::logic_error);
    EXPECT_EQ(dialogs.pendingAnswers(), 1);
    // What was asked is on record even when it failed.
    EXPECT_EQ(dialogs.fileDialogs().size(), 2u);

    dialogs.clear();
    EXPECT_EQ(dialogs.pendingAnswers(), 0);
    EXPECT_TRUE(dialogs.fileDialogs().empty());
    EXPECT_THROW(dialogs.getColor({}), std::logic_error);
}

} // namespace

#include "core/MessageService.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using core::Message;
using core::MessageButton;
using core::MessageButtons;

Message question(MessageButtons buttons) {
    return {.caption = QStringLiteral("Warning"),
            .text = QStringLiteral("Data has changed.  Update?"),
            .buttons = buttons,
            .defaultButton = MessageButton::No};
}

TEST(ScriptedMessages, AnswersQuestionsInOrderAndRecordsThem) {
    core::ScriptedMessageService messages;
    messages.queueAnswer(MessageButton::Cancel);
    messages.queueAnswer(MessageButton::Yes);

    // A box with only OK needs no answer and leaves the queue alone.
    EXPECT_EQ(messages.show({.caption = QStringLiteral("Notice"), .text = QStringLiteral("Done.")}),
              MessageButton::Ok);
    EXPECT_EQ(messages.show(question(MessageButtons::YesNoCancel)), MessageButton::Cancel);
    EXPECT_EQ(messages.show(question(MessageButtons::YesNo)), MessageButton::Yes);
    messages.beep(core::MessageSound::Exclamation);

    ASSERT_EQ(messages.messages().size(), 3u);
    EXPECT_EQ(messages.messages()[0].caption, QStringLiteral("Notice"));
    EXPECT_EQ(messages.messages()[2].buttons, MessageButtons::YesNo);
    EXPECT_EQ(messages.beeps(), std::vector{core::MessageSound::Exclamation});
    EXPECT_EQ(messages.pendingAnswers(), 0);
}

TEST(ScriptedMessages, FailsLoudlyOnAnUnscriptedQuestion) {
    core::ScriptedMessageService messages;
    EXPECT_THROW(messages.show(question(MessageButtons::YesNo)), std::logic_error);

    // An answer the box does not offer is a mistake in the test script.
    messages.queueAnswer(MessageButton::Cancel);
    EXPECT_THROW(messages.show(question(MessageButtons::YesNo)), std::logic_error);

    Message badDefault = question(MessageButtons::OkCancel);
    EXPECT_THROW(messages.show(badDefault), std::logic_error);
}

TEST(MessageButtonsSet, InitialButtonIsTheDefaultElseTheFirst) {
    EXPECT_EQ(core::initialButton(question(MessageButtons::YesNoCancel)), MessageButton::No);
    EXPECT_EQ(core::initialButton({.buttons = MessageButtons::YesNo}), MessageButton::Yes);
    EXPECT_EQ(core::initialButton({.buttons = MessageButtons::OkCancel}), MessageButton::Ok);
}

} // namespace

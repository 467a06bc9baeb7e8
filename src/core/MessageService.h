#pragma once

#include <QString>

#include <deque>
#include <optional>
#include <vector>

// Every message box, question and beep of the program goes through a MessageService. The
// running program shows real message boxes owned by the current window; tests answer from a
// script and never wait on a modal box.
namespace core {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageButton { Ok, Cancel, Yes, No };
enum class MessageIcon { None, Information, Warning, Error, Question };
// The system sound played before a box, or alone.
enum class MessageSound { None, Default, Question, Exclamation, Error };

struct Message {
    QString caption{};
    QString text{}; // shown exactly as given, two blanks after a full stop included
    MessageButtons buttons = MessageButtons::Ok;
    std::optional<MessageButton> defaultButton{}; // none: the first button of the set
    MessageIcon icon = MessageIcon::None;
    MessageSound sound = MessageSound::None;
};

// Whether the set of buttons holds the button.
bool offers(MessageButtons buttons, MessageButton button);
// The button the box starts on: the message's default, else the first of its set.
MessageButton initialButton(const Message& message);

class MessageService {
public:
    virtual ~MessageService();

    // Plays the message's sound, shows the box modally and returns the button pressed.
    virtual MessageButton show(const Message& message) = 0;
    virtual void beep(MessageSound sound) = 0;
};

// Answers from a queue filled in advance and records everything it was asked. A question
// (a box with more than an OK button) with no answer queued, or an answer the box does not
// offer, throws std::logic_error: a test that forgot a question must fail, not hang or guess.
class ScriptedMessageService : public MessageService {
public:
    void queueAnswer(MessageButton answer) { answers_.push_back(answer); }
    int pendingAnswers() const { return static_cast<int>(answers_.size()); }

    const std::vector<Message>& messages() const { return messages_; }
    const std::vector<MessageSound>& beeps() const { return beeps_; }
    void clear();

    MessageButton show(const Message& message) override;
    void beep(MessageSound sound) override { beeps_.push_back(sound); }

private:
    std::deque<MessageButton> answers_;
    std::vector<Message> messages_;
    std::vector<MessageSound> beeps_;
};

} // namespace core

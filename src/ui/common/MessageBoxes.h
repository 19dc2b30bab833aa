#pragma once
// Every message box of the program goes through here, so each kind keeps
// its icon (information for run failures, exclamation for a folder that
// cannot be created, question for Yes/No) and tests can answer boxes
// without a modal loop.
#include <QString>
#include <deque>
#include <vector>

class QWidget;

namespace kivo {

enum class MessageIcon { Information, Exclamation, Question };
enum class MessageAnswer { Ok, Yes, No };

struct ShownMessage {
    MessageIcon icon;
    QString text;
};

// Boxes with an OK button.
void ShowInformation(QWidget* parent, const QString& text);
void ShowExclamation(QWidget* parent, const QString& text);
// A Yes/No box with the question icon; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// While a script is installed, boxes are not shown: each one is recorded and
// takes the next scripted answer (OK, or No when the answers ran out).
class MessageScript {
public:
    MessageScript();
    ~MessageScript();
    MessageScript(const MessageScript&) = delete;
    MessageScript& operator=(const MessageScript&) = delete;

    void Answer(MessageAnswer answer) { answers_.push_back(answer); }
    const std::vector<ShownMessage>& shown() const { return shown_; }

    MessageAnswer Take(const ShownMessage& message);

private:
    std::deque<MessageAnswer> answers_;
    std::vector<ShownMessage> shown_;
    MessageScript* previous_;
};

}  // namespace kivo

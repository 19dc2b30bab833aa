#include "ui/common/MessageBoxes.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace kivo {

namespace {

MessageScript* activeScript = nullptr;

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

MessageAnswer Show(QWidget* parent, MessageIcon icon, const QString& text, bool yesNo) {
    if (activeScript != nullptr) return activeScript->Take({icon, text});
    QMessageBox box(ToQt(icon), QCoreApplication::applicationName(), text,
                    yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, parent);
    const int result = box.exec();
    if (!yesNo) return MessageAnswer::Ok;
    return result == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace

MessageScript::MessageScript() : previous_(activeScript) { activeScript = this; }

MessageScript::~MessageScript() { activeScript = previous_; }

MessageAnswer MessageScript::Take(const ShownMessage& message) {
    shown_.push_back(message);
    if (answers_.empty()) {
        return message.icon == MessageIcon::Question ? MessageAnswer::No : MessageAnswer::Ok;
    }
    const MessageAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void ShowInformation(QWidget* parent, const QString& text) {
    Show(parent, MessageIcon::Information, text, false);
}

void ShowExclamation(QWidget* parent, const QString& text) {
    Show(parent, MessageIcon::Exclamation, text, false);
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return Show(parent, MessageIcon::Question, text, true) == MessageAnswer::Yes;
}

}  // namespace kivo

#include "ui/common/Texts.h"

#include "model/StringTable.h"

namespace kivo {

QString DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QString UiText(int id) { return DisplayText(LoadText(id)); }

QString UiText(int id, const std::string& arg) { return DisplayText(FormatText(id, arg)); }

}  // namespace kivo

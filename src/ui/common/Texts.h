#pragma once
// Texts of the string table as the widgets show them: the table keeps line
// breaks as "\r\n", which Qt would draw as two breaks.
#include <QString>
#include <string>

namespace kivo {

QString DisplayText(const std::string& text);
QString UiText(int id);
QString UiText(int id, const std::string& arg);

}  // namespace kivo

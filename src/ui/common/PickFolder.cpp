#include "ui/common/PickFolder.h"

#include <QString>

#include "platform/FileSystem.h"
#include "ui/common/FileDialogs.h"

namespace kivo {

bool PickFolder(QWidget* owner, std::string& folder) {
    QString start;
    if (!folder.empty() && IsFolder(folder)) {
        std::string trimmed = folder;
        if (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
        start = QString::fromStdString(trimmed);
    }
    const QString chosen = ChooseFolder(owner, QString(), start);
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
}

}  // namespace kivo

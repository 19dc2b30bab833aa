#include "ui/common/OperationControls.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QVBoxLayout>

#include "model/StringTable.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/PickFolder.h"
#include "ui/common/Texts.h"

namespace kivo {

QButtonGroup* AddRadioGroup(QVBoxLayout* layout, QWidget* dialog, const ControlRegistry& registry,
                            const QString& title, int firstId,
                            std::initializer_list<const char*> texts) {
    auto* box = new QGroupBox(title, dialog);
    auto* row = new QHBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int index = 0;
    for (const char* text : texts) {
        auto* radio = new QRadioButton(QString::fromUtf8(text), box);
        group->addButton(radio, index);
        row->addWidget(radio);
        registry(firstId + index, radio);
        ++index;
    }
    row->addStretch(1);
    group->button(0)->setChecked(true);
    layout->addWidget(box);
    return group;
}

QButtonGroup* AddEmptyFoldersGroup(QVBoxLayout* layout, QWidget* dialog,
                                   const ControlRegistry& registry, const QString& title) {
    return AddRadioGroup(layout, dialog, registry, title, 1061, {"Yes", "No", "Sub-folders only"});
}

void MakeRed(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label->setPalette(palette);
}

bool BrowseForFolder(QWidget* owner, QLineEdit* box, const char* setting) {
    std::string folder = Trim(box->text().toStdString());
    if (folder.empty()) folder = GetSetting(setting);
    if (!PickFolder(owner, folder)) return false;
    PutSetting(setting, folder);
    box->setText(QString::fromStdString(folder));
    return true;
}

bool CreateTypedFolder(QWidget* owner, QLineEdit* box, std::string& folder) {
    folder = Trim(box->text().toStdString());
    box->setText(QString::fromStdString(folder));
    // An empty text names no folder at all: creating "" would report
    // success and the files would land in the working folder.
    if (folder.empty() || MakeFolders(folder) != 0) {
        ShowExclamation(owner, UiText(IDS_CANNOT_CREATE_FOLDER, folder));
        return false;
    }
    return true;
}

}  // namespace kivo

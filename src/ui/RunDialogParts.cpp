#include "ui/RunDialogParts.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/RunDialog.h"

namespace kivo {

QButtonGroup* AddRadioGroup(QVBoxLayout* layout, RunDialog* dialog, const QString& title,
                            int firstId, std::initializer_list<const char*> texts) {
    auto* box = new QGroupBox(title, dialog);
    auto* row = new QHBoxLayout(box);
    auto* group = new QButtonGroup(box);
    int index = 0;
    for (const char* text : texts) {
        auto* radio = new QRadioButton(QString::fromUtf8(text), box);
        group->addButton(radio, index);
        row->addWidget(radio);
        dialog->AddControl(firstId + index, radio);
        ++index;
    }
    row->addStretch(1);
    group->button(0)->setChecked(true);
    layout->addWidget(box);
    return group;
}

QButtonGroup* AddEmptyFoldersGroup(QVBoxLayout* layout, RunDialog* dialog, const QString& title) {
    return AddRadioGroup(layout, dialog, title, 1061, {"Yes", "No", "Sub-folders only"});
}

void MakeRed(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    label->setPalette(palette);
}

}  // namespace kivo

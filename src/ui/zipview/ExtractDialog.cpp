#include "ui/zipview/ExtractDialog.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "model/StringTable.h"
#include "platform/Paths.h"
#include "settings/Settings.h"
#include "ui/common/DialogLauncher.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/PickFolder.h"
#include "ui/common/Texts.h"

namespace kivo {

namespace {

enum ExtractControlId : int {
    ID_TARGET_FOLDER = 1071,
    ID_BROWSE = 1072,
    ID_PASSWORD = 1073,
    ID_INFO_LABEL = 1075,
    ID_ENTRY_LABEL = 1076,
    ID_SKIP_EXISTING = 1077,
    ID_OPEN_FOLDER = 1078,
};

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void DesktopFolderOpener::Open(const std::string& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(ToQ(folder)));
}

ExtractDialog::ExtractDialog(zip::ZipDirectory& directory,
                             std::vector<const zip::ZipEntry*> entries, const std::string& prefix,
                             DialogLauncher& launcher, QWidget* parent)
    : RunDialogBase(tr("Extract Zip File"), std::string(), false, launcher, parent) {
    task_.directory = &directory;
    task_.pending.assign(entries.begin(), entries.end());
    task_.prefix = prefix;

    auto* layout = new QVBoxLayout(this);
    auto* targetLabel = new QLabel(tr("Target Folder:"), this);
    auto* targetRow = new QHBoxLayout;
    target_ = new QLineEdit(ToQ(GetSetting("unziptgtdir")), this);
    targetLabel->setBuddy(target_);
    auto* browse = new QPushButton(tr("..."), this);
    browse->setAutoDefault(false);
    targetRow->addWidget(target_, 1);
    targetRow->addWidget(browse);
    layout->addWidget(targetLabel);
    layout->addLayout(targetRow);

    skip_ = new QCheckBox(tr("Skip if target file exist."), this);
    skip_->setChecked(GetSettingInt("unzipskipexist", 0) != 0);
    open_ = new QCheckBox(tr("Open target folder after extracting done."), this);
    open_->setChecked(GetSettingInt("unziprunexplorer", 0) != 0);
    layout->addWidget(skip_);
    layout->addWidget(open_);

    auto* passwordLabel =
        new QLabel(tr("If the zip file is password-protected, enter the password below:"), this);
    password_ = new QLineEdit(this);  // shown as typed, as it always was
    passwordLabel->setBuddy(password_);
    layout->addWidget(passwordLabel);
    layout->addWidget(password_);

    auto* infoCaption = new QLabel(tr("ZIP File Info:"), this);
    AddProgressArea(layout);
    // The run machinery's counter is the info label and its phase label
    // names the entry being extracted; both appear when a run starts.
    QWidget* info = control(ID_COUNTER_LABEL);
    auto* entryLabel = static_cast<QLabel*>(control(ID_PHASE_LABEL));
    entryLabel->clear();
    layout->removeWidget(entryLabel);
    layout->insertWidget(layout->indexOf(info), infoCaption);
    layout->insertWidget(layout->indexOf(control(ID_PROGRESS_BAR)), entryLabel);
    AddButtons(layout);

    AddControl(ID_TARGET_FOLDER, target_);
    AddControl(ID_BROWSE, browse);
    AddControl(ID_PASSWORD, password_);
    AddControl(ID_INFO_LABEL, info);
    AddControl(ID_ENTRY_LABEL, entryLabel);
    AddControl(ID_SKIP_EXISTING, skip_);
    AddControl(ID_OPEN_FOLDER, open_);
    connect(target_, &QLineEdit::textChanged, this, &ExtractDialog::QueueRefresh);
    connect(browse, &QPushButton::clicked, this, &ExtractDialog::Browse);
    QueueRefresh();
}

void ExtractDialog::Refresh() {
    button(ID_START)->setEnabled(idle() && !Trim(target_->text().toStdString()).empty());
}

void ExtractDialog::Browse() {
    std::string folder = Trim(target_->text().toStdString());
    if (!PickFolder(this, folder)) return;
    target_->setText(ToQ(folder));
    QueueRefresh();
}

RunDialogBase::Job ExtractDialog::PrepareJob() {
    std::string target = target_->text().toStdString();
    std::string message;
    const bool created = zip::PrepareTargetFolder(target, message);
    target_->setText(ToQ(target));
    if (!created) {
        ShowExclamation(this, DisplayText(message));
        return {};
    }
    PutSetting("unziptgtdir", target);
    PutSettingInt("unzipskipexist", skip_->isChecked() ? 1 : 0);
    PutSettingInt("unziprunexplorer", open_->isChecked() ? 1 : 0);
    task_.targetFolder = target;
    task_.password = Trim(password_->text().toStdString());
    task_.skipExisting = skip_->isChecked();
    task_.openFolderWhenDone = open_->isChecked();
    // The worker owns the task until its end is handled; the folder is
    // opened here on the window's thread, never on the worker's.
    return [this](CancelFlag& cancel, RunSink& sink) {
        return zip::RunExtraction(task_, sink, cancel, nullptr);
    };
}

void ExtractDialog::HandleEnd(const RunResult& result) {
    switch (result.end) {
    case RunEnd::Done:
        if (task_.openFolderWhenDone && opener_ != nullptr) opener_->Open(task_.targetFolder);
        accept();
        return;
    case RunEnd::Stopped:
        QDialog::reject();
        return;
    case RunEnd::Failed:
        ShowInformation(this, UiText(IDS_EXTRACT_RETRY, result.errorText));
        // The failed entry stays first in the task, so Start resumes there.
        AllowAnotherRun();
        QueueRefresh();
        return;
    }
}

}  // namespace kivo

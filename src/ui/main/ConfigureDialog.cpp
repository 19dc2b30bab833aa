#include "ui/main/ConfigureDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QPushButton>

#include "ui/common/DialogUnits.h"
#include "ui/common/Icons.h"

namespace kivo {

namespace {

ConfigureActions* installedActions = nullptr;

constexpr char kCaption[] = "Kivo Configure";
constexpr int kWidth = 241;
constexpr int kHeight = 117;

}  // namespace

void SetConfigureActions(ConfigureActions* actions) { installedActions = actions; }

ConfigureActions* InstalledConfigureActions() { return installedActions; }

ConfigureDialog::ConfigureDialog(ConfigureActions& actions, QWidget* parent)
    : QDialog(parent), actions_(actions) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(ProgramIcon());
    const DialogUnits units(font());

    desktopBox_ = new QCheckBox(QStringLiteral("Put a short-cut link on Desktop."), this);
    desktopBox_->setGeometry(units.Rect(13, 19, 177, 10));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(units.Rect(7, 89, 227, 1));

    auto* uninstall = new QPushButton(QStringLiteral("Uninstall"), this);
    uninstall->setGeometry(units.Rect(7, 96, 50, 14));
    uninstall->setAutoDefault(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.Rect(133, 96, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setGeometry(units.Rect(184, 96, 50, 14));
    cancel->setAutoDefault(false);

    setFixedSize(units.Size(kWidth, kHeight));
    desktopBox_->setChecked(actions_.DesktopShortcutExists());

    connect(ok, &QPushButton::clicked, this, &ConfigureDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &ConfigureDialog::reject);
    connect(uninstall, &QPushButton::clicked, this, [this] { actions_.Uninstall(this); });
}

void ConfigureDialog::accept() {
    if (desktopBox_->isChecked()) {
        actions_.CreateDesktopShortcut();
    } else {
        actions_.DeleteDesktopShortcut();
    }
    QDialog::accept();
}

}  // namespace kivo

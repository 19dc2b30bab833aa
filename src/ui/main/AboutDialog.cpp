#include "ui/main/AboutDialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/common/DialogUnits.h"
#include "ui/common/Icons.h"
#include "ui/main/HyperLink.h"

#ifndef KIVO_HOMEPAGE
#error "KIVO_HOMEPAGE comes from the build"
#endif
#ifndef KIVO_VERSION_TEXT
#error "KIVO_VERSION_TEXT comes from the build"
#endif

namespace kivo {

namespace {

constexpr char kCaption[] = "About Kivo";
constexpr int kWidth = 231;
constexpr int kHeight = 149;

}  // namespace

QString HomePageAddress() { return QStringLiteral(KIVO_HOMEPAGE); }

QString VersionText() { return QStringLiteral("Kivo Version " KIVO_VERSION_TEXT); }

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(ProgramIcon());
    const DialogUnits units(font());

    auto* icon = new QLabel(this);
    const QRect iconRect = units.Rect(14, 14, 20, 20);
    icon->setGeometry(iconRect);
    icon->setPixmap(IconPixmap(ICON_PROGRAM, qMin(iconRect.width(), iconRect.height())));
    icon->setAccessibleName(QStringLiteral("Kivo"));

    auto* version = new QLabel(VersionText(), this);
    version->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    version->setGeometry(units.Rect(47, 14, 138, 10));

    link_ = new HyperLink(
        QStringLiteral("Visit the homepage of this software (%1)").arg(HomePageAddress()), this);
    link_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    link_->setTarget(HomePageAddress());
    link_->setGeometry(units.Rect(7, 43, 217, 10));
    link_->FitToText();

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(units.Rect(7, 60, 217, 1));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.Rect(174, 128, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(units.Size(kWidth, kHeight));
}

}  // namespace kivo

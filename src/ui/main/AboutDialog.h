#pragma once
// "About Kivo": the program's icon, its version and a link to its home page.
#include <QDialog>

namespace kivo {

class HyperLink;

// The home page address, set once in the build.
QString HomePageAddress();
// "Kivo Version " and the program's version, set once in the build.
QString VersionText();

class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    HyperLink* link() const { return link_; }

private:
    HyperLink* link_ = nullptr;
};

}  // namespace kivo

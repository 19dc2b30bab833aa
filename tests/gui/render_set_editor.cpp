// Renders the set editor with "Add Folders" open over it to a PNG, for the
// documentation. Sample folders and files are made under $HOME, which
// scripts/screenshot-set-editor points at a throw-away folder.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <cstdio>
#include <memory>

#include "model/FileSet.h"
#include "settings/Settings.h"
#include "ui/sets/AddFoldersDialog.h"
#include "ui/sets/AddFoldersTemplate.h"
#include "ui/sets/SetEditorDialog.h"
#include "ui/sets/SetEditorTemplate.h"
#include "ui/sets/SubFolderList.h"

using namespace kivo;

namespace {

std::string Make(const QString& relative, bool folder) {
    const QString path = QDir::home().filePath(relative);
    if (folder) {
        QDir().mkpath(path);
    } else {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write("sample");
    }
    return QFile::encodeName(path).toStdString();
}

std::unique_ptr<SetEntry> Entry(const std::string& path, std::vector<std::string> patterns, int mode) {
    auto entry = std::make_unique<SetEntry>();
    entry->path = path;
    entry->patterns = std::move(patterns);
    entry->filterMode = mode;
    return entry;
}

// A window as a desktop would frame it: a title bar with the caption.
QPixmap Framed(QWidget& window) {
    const QPixmap inside = window.grab();
    const int bar = 24;
    QPixmap framed(inside.width() + 2, inside.height() + bar + 1);
    framed.fill(QColor(0x3a, 0x5f, 0x8f));
    QPainter painter(&framed);
    painter.drawPixmap(1, bar, inside);
    painter.setPen(Qt::white);
    QFont font = window.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(8, 0, framed.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, window.windowTitle());
    return framed;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    for (const char* name : {"Invoices", "Letters", "Photos", "Projects", "Recipes", "Taxes 2024", ".cache"}) {
        Make(QStringLiteral("Documents/%1").arg(QLatin1String(name)), true);
    }
    FileSet set;
    set.name = "Documents";
    set.entries.push_back(Entry(Make("Documents/Letters", true), {}, 1));
    set.entries.push_back(Entry(Make("notes.txt", false), {}, 1));
    set.entries.push_back(Entry(Make("Documents/Projects", true), {"*.o", "*.tmp"}, 1));
    set.entries.push_back(Entry(Make("Documents/Photos", true), {"*.jpg", "*.png", "*.raw"}, 0));
    PutSetting("lastfolder", QFile::encodeName(QDir::home().filePath("Documents")).toStdString());
    PutSettingInt("filtertype", add_folders::FILTER_INCLUDE);

    SetEditorDialog editor(&set, {}, true, QString());
    editor.show();
    QApplication::processEvents();
    editor.entryList()->topLevelItem(2)->setSelected(true);
    editor.button(set_editor::ID_ADD_FOLDERS)->click();
    QApplication::processEvents();
    AddFoldersDialog* folders = editor.addFoldersDialog();
    if (folders == nullptr) return 1;
    SubFolderList* list = folders->subFolderList();
    list->SortByName();
    for (const char* name : {"Invoices", "Taxes 2024"}) {
        for (QTreeWidgetItem* item : list->findItems(QLatin1String(name), Qt::MatchExactly)) item->setSelected(true);
    }
    folders->filterBox()->setPlainText(QStringLiteral("*.pdf; *.odt; *.xlsx"));
    QApplication::processEvents();
    QApplication::processEvents();

    const QPixmap back = Framed(editor);
    const QPixmap front = Framed(*folders);
    const QPoint offset(back.width() / 4, back.height() / 2);
    QPixmap canvas(qMax(back.width(), offset.x() + front.width()) + 16,
                   qMax(back.height(), offset.y() + front.height()) + 16);
    canvas.fill(QColor(0xd8, 0xdc, 0xe0));
    {
        QPainter painter(&canvas);
        painter.drawPixmap(8, 8, back);
        painter.drawPixmap(offset + QPoint(8, 8), front);
    }
    if (!canvas.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

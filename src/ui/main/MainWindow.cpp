#include "ui/main/MainWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

#include "settings/Settings.h"
#include "ui/common/DialogLauncher.h"
#include "ui/common/DialogUnits.h"
#include "ui/common/Icons.h"
#include "ui/common/NestedLoopScope.h"
#include "ui/main/MainWindowTemplate.h"
#include "ui/main/OperationListWidget.h"
#include "ui/main/SetListWidget.h"
#include "ui/main/StoreSync.h"

namespace kivo {

using namespace main_window;

namespace {

constexpr char kMaximisedSetting[] = "maxsizewindow";

}  // namespace

MainWindow::MainWindow(DialogLauncher& dialogs, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                  Qt::WindowCloseButtonHint),
      dialogs_(dialogs) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setSizeGripEnabled(false);
    CreateControls();
    ConnectCommands();
    setWindowIcon(ProgramIcon());

    const DialogUnits units(font());
    resize(units.Size(kWidth, kHeight));
    // Meant to change size only by maximising and restoring; where the window
    // manager lets the frame be dragged anyway, the controls must not be
    // squeezed below the template.
    setMinimumSize(size());
    measures_ = TakeMeasures(layoutControls_, rect());

    if (GetSettingInt(kMaximisedSetting, 0) != 0) {
        // Centred first, so that restoring brings it back in the middle.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    QueueButtonRefresh();
}

void MainWindow::CreateControls() {
    const DialogUnits units(font());
    // The stores come first: both lists change them through it and are
    // filled from it.
    stores_ = new StoreSync(this);
    operationList_ = new OperationListWidget(*stores_, dialogs_, this);
    setList_ = new SetListWidget(*stores_, dialogs_, this);
    stores_->SetViewer([this](StoreSnapshot& stores, StoresOrigin origin) {
        setList_->ShowSets(stores.sets);
        operationList_->ShowOperations(stores.operations.operations, origin);
        QueueButtonRefresh();
    });
    stores_->Reload();
    for (const ControlTemplate& t : kControls) {
        QWidget* widget = nullptr;
        const QString text = QString::fromLatin1(t.text);
        switch (t.id) {
        case ID_SET_LIST:
            widget = setList_;
            break;
        case ID_OPERATION_LIST:
            widget = operationList_;
            break;
        case ID_SET_GROUP:
        case ID_OPERATION_GROUP:
            widget = new QGroupBox(text, this);
            widget->lower();  // the group boxes frame their siblings from behind
            break;
        default: {
            auto* button = new QPushButton(text, this);
            // Enter must not press a button of this window.
            button->setAutoDefault(false);
            button->setDefault(false);
            widget = button;
            break;
        }
        }
        widget->setGeometry(units.Rect(t.x, t.y, t.width, t.height));
        controls_[t.id] = widget;
    }
    layoutControls_.setGroup = control(ID_SET_GROUP);
    layoutControls_.operationGroup = control(ID_OPERATION_GROUP);
    layoutControls_.setList = control(ID_SET_LIST);
    layoutControls_.operationList = control(ID_OPERATION_LIST);
    layoutControls_.setNew = control(ID_SET_NEW);
    layoutControls_.setProperty = control(ID_SET_PROPERTY);
    layoutControls_.setRemove = control(ID_SET_REMOVE);
    layoutControls_.operationNew = control(ID_OPERATION_NEW);
    layoutControls_.operationProperty = control(ID_OPERATION_PROPERTY);
    layoutControls_.operationRemove = control(ID_OPERATION_REMOVE);
    layoutControls_.run = control(ID_RUN);
    layoutControls_.about = control(ID_ABOUT);
    layoutControls_.configure = control(ID_CONFIGURE);
    layoutControls_.exit = control(ID_EXIT);
}

void MainWindow::ConnectCommands() {
    auto onClick = [this](int id, auto&& handler) {
        connect(button(id), &QPushButton::clicked, this, handler);
    };
    onClick(ID_SET_NEW, [this] {
        setList_->NewSet();
        QueueButtonRefresh();
    });
    onClick(ID_SET_PROPERTY, [this] {
        setList_->EditSelected();
        QueueButtonRefresh();
    });
    onClick(ID_SET_REMOVE, [this] {
        setList_->RemoveSelected();
        QueueButtonRefresh();
    });
    onClick(ID_OPERATION_NEW, [this] { operationList_->ShowBindMenu(QCursor::pos()); });
    onClick(ID_OPERATION_PROPERTY, [this] { operationList_->EditSelected(); });
    onClick(ID_OPERATION_REMOVE, [this] { operationList_->RemoveSelected(); });
    onClick(ID_RUN, [this] { operationList_->RunSelected(); });
    onClick(ID_ABOUT, [this] {
        NestedLoopScope dialog;
        dialogs_.ShowAbout(this);
    });
    onClick(ID_CONFIGURE, [this] {
        NestedLoopScope dialog;
        dialogs_.ShowConfigure(this);
    });
    onClick(ID_EXIT, [this] { Exit(); });

    connect(setList_, &QListWidget::itemDoubleClicked, this, [this] {
        setList_->EditSelected();
        QueueButtonRefresh();
    });
    connect(operationList_, &QListWidget::itemDoubleClicked, this,
            [this] { operationList_->RunSelected(); });
    connect(setList_, &QListWidget::itemSelectionChanged, this, [this] { QueueButtonRefresh(); });
    connect(operationList_, &QListWidget::itemSelectionChanged, this,
            [this] { QueueButtonRefresh(); });
}

QWidget* MainWindow::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QPushButton* MainWindow::button(int id) const { return qobject_cast<QPushButton*>(control(id)); }

void MainWindow::QueueButtonRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { RefreshButtons(); }, Qt::QueuedConnection);
}

void MainWindow::RefreshButtons() {
    refreshQueued_ = false;
    const int setsSelected = setList_->SelectedCount();
    button(ID_SET_PROPERTY)->setEnabled(setsSelected == 1);
    button(ID_SET_REMOVE)->setEnabled(setsSelected > 0);

    const int rowsSelected = operationList_->SelectedCount();
    const bool savedFirst =
        operationList_->OperationAt(operationList_->FirstSelectedRow()) != nullptr;
    button(ID_OPERATION_PROPERTY)->setEnabled(rowsSelected == 1 && savedFirst);
    button(ID_OPERATION_REMOVE)->setEnabled(savedFirst);
    button(ID_RUN)->setEnabled(rowsSelected == 1);
}

void MainWindow::Exit() {
    const Qt::WindowStates state = windowState();
    const bool maximised = state.testFlag(Qt::WindowMaximized) && !state.testFlag(Qt::WindowMinimized);
    PutSettingInt(kMaximisedSetting, maximised ? 1 : 0);
    accept();
}

void MainWindow::reject() {}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    QMetaObject::invokeMethod(this, [this] { Exit(); }, Qt::QueuedConnection);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    QueueRelayout();
}

void MainWindow::QueueRelayout() {
    if (relayoutQueued_) return;
    relayoutQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            relayoutQueued_ = false;
            ApplyLayout(measures_, layoutControls_, rect());
        },
        Qt::QueuedConnection);
}

}  // namespace kivo

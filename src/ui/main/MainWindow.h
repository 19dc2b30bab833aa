#pragma once
// The program's main window: a modal dialog with the set list on the left
// and the operation list on the right. Closing it ends the program; at exit
// it keeps only whether it was maximised ("maxsizewindow").
#include <QDialog>
#include <map>

#include "ui/main/MainWindowLayout.h"

class QPushButton;

namespace kivo {

class DialogLauncher;
class OperationListWidget;
class SetListWidget;
class StoreSync;

class MainWindow : public QDialog {
    Q_OBJECT

public:
    explicit MainWindow(DialogLauncher& dialogs, QWidget* parent = nullptr);

    SetListWidget* setList() const { return setList_; }
    StoreSync* stores() const { return stores_; }
    OperationListWidget* operationList() const { return operationList_; }
    // A control by its template id; null for an id the window lacks.
    QWidget* control(int id) const;
    QPushButton* button(int id) const;

    // Stores "maxsizewindow" and ends the dialog.
    void Exit();

public slots:
    // The Qt dialog's way to cancel (Escape, closing); this window ends only
    // through Exit.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void ConnectCommands();
    // Button states are computed all together, after the message that
    // changed them has been handled.
    void QueueButtonRefresh();
    void RefreshButtons();
    void QueueRelayout();

    DialogLauncher& dialogs_;
    std::map<int, QWidget*> controls_;
    StoreSync* stores_ = nullptr;
    SetListWidget* setList_ = nullptr;
    OperationListWidget* operationList_ = nullptr;
    MainWindowControls layoutControls_;
    MainWindowMeasures measures_;
    bool refreshQueued_ = false;
    bool relayoutQueued_ = false;
};

}  // namespace kivo

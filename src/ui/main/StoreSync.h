#pragma once
// The main window's link to the two stores, which other programs (kivo-cli,
// a cron job) may change while the window is open.
//
// Every change the window makes goes through Change: it is applied to the
// stores as they are on disk at that moment, under the data folder's lock,
// and the lists are then rebuilt from the result. Changes made by other
// programs are noticed by watching the data folder (a store is replaced by
// rename, which a watch on the file itself would lose) and shown after a
// short quiet time; the window's own writes are told apart by the device,
// inode, size and modification time each store had when the window last
// read or wrote it.
#include <QObject>
#include <functional>
#include <string>

#include "model/StoreChange.h"

class QFileSystemWatcher;
class QTimer;
class QWidget;

namespace kivo {

enum class StoresOrigin {
    Window,        // read for a change the window made
    OtherProgram,  // read because the stores changed on disk (or at start)
};

class StoreSync : public QObject {
    Q_OBJECT

public:
    // Receives both stores whenever they were read; the lists take what they
    // show out of them.
    using Viewer = std::function<void(StoreSnapshot& stores, StoresOrigin origin)>;

    explicit StoreSync(QObject* parent = nullptr);

    void SetViewer(Viewer viewer) { viewer_ = std::move(viewer); }

    // Applies `change` to the freshly read stores under the lock (see
    // ChangeStores) and shows the stores read, whether or not the change was
    // made. No window is shown while the lock is held; a lock that could not
    // be had is reported afterwards in a message box over `parent`. A store
    // that cannot be written is not reported, as every failed store write of
    // the desktop program.
    ChangeEnd Change(QWidget* parent, const std::function<bool(StoreSnapshot&)>& change);

    // Reads both stores as they are now and shows them.
    void Reload();

    // How long the stores must stay unchanged before a reload.
    static constexpr int kQuietMs = 200;

private:
    void Watch();
    void OnFolderChanged();
    void OnQuiet();
    bool ChangedOnDisk() const;

    QFileSystemWatcher* watcher_;
    QTimer* quiet_;
    Viewer viewer_;
    FileStamp knownSets_;
    FileStamp knownBindings_;
};

}  // namespace kivo

#include "ui/main/StoreSync.h"

#include <QFileSystemWatcher>
#include <QTimer>
#include <cstring>

#include "platform/Paths.h"
#include "ui/common/MessageBoxes.h"
#include "ui/common/NestedLoopScope.h"

namespace kivo {

namespace {

QString LockTroubleText(ChangeEnd end, int error) {
    if (end == ChangeEnd::LockTimedOut) {
        return QStringLiteral(
            "Another program has been changing the Kivo lists for more than 10 seconds.\n"
            "Nothing was changed. Please try again later.");
    }
    return QStringLiteral("The Kivo lists can not be locked for changing:\n%1\nNothing was changed.")
        .arg(QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

StoreSync::StoreSync(QObject* parent)
    : QObject(parent), watcher_(new QFileSystemWatcher(this)), quiet_(new QTimer(this)) {
    quiet_->setSingleShot(true);
    quiet_->setInterval(kQuietMs);
    connect(quiet_, &QTimer::timeout, this, [this] { OnQuiet(); });
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { OnFolderChanged(); });
    Watch();
}

void StoreSync::Watch() {
    // DataFolder creates the folder when it is missing: it must exist to be
    // watched, and it is watched again if it was removed and made anew.
    const QString folder = QString::fromStdString(DataFolder());
    if (!watcher_->directories().contains(folder)) watcher_->addPath(folder);
}

ChangeEnd StoreSync::Change(QWidget* parent, const std::function<bool(StoreSnapshot&)>& change) {
    ChangeResult result = ChangeStores(DataFolder(), change);
    if (result.read) {
        knownSets_ = result.setStamp;
        knownBindings_ = result.bindingStamp;
        if (viewer_) viewer_(result.stores, StoresOrigin::Window);
    }
    Watch();
    if (result.end == ChangeEnd::LockTimedOut || result.end == ChangeEnd::LockFailed ||
        result.end == ChangeEnd::NoFolder) {
        NestedLoopScope box;
        ShowInformation(parent, LockTroubleText(result.end, result.error));
    }
    return result.end;
}

void StoreSync::Reload() {
    const std::string folder = DataFolder();
    StoreSnapshot stores;
    // Stamped before reading: a store replaced in between is seen as changed
    // again and read once more, never the other way round.
    knownSets_ = StampOf(SetStorePath(folder));
    knownBindings_ = StampOf(BindingStorePath(folder));
    stores.sets.Load(SetStorePath(folder));
    stores.operations.Load(BindingStorePath(folder));
    if (viewer_) viewer_(stores, StoresOrigin::OtherProgram);
    Watch();
}

bool StoreSync::ChangedOnDisk() const {
    const std::string folder = DataFolder();
    return StampOf(SetStorePath(folder)) != knownSets_ ||
           StampOf(BindingStorePath(folder)) != knownBindings_;
}

void StoreSync::OnFolderChanged() {
    // The folder also changes for temporary files, the lock file and the
    // window's own saves; only a store that differs from what the window
    // last saw counts. Each new change restarts the quiet time.
    if (ChangedOnDisk()) quiet_->start();
    Watch();
}

void StoreSync::OnQuiet() {
    // A dialog, message box, menu or drag holds row objects: the reload
    // waits until it has ended.
    if (NestedLoopScope::Active()) {
        quiet_->start();
        return;
    }
    if (ChangedOnDisk()) Reload();
}

}  // namespace kivo

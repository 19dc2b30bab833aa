#include "app/FirstRun.h"

#include <QSettings>
#include <QVariant>

#include "settings/Settings.h"

namespace kivo {

namespace {

bool HasMarker(QSettings::Scope scope) {
    QSettings store(QSettings::NativeFormat, scope, QString::fromLatin1(kOrganisation),
                    QString::fromLatin1(kFirstRunApplication));
    // Only the scope asked for counts: the user scope would otherwise also
    // read the system file.
    store.setFallbacksEnabled(false);
    bool ok = false;
    store.value(QString::fromLatin1(kFirstRunValue)).toUInt(&ok);
    return ok;
}

bool WriteMarker(QSettings::Scope scope) {
    QSettings store(QSettings::NativeFormat, scope, QString::fromLatin1(kOrganisation),
                    QString::fromLatin1(kFirstRunApplication));
    store.setFallbacksEnabled(false);
    if (!store.isWritable()) return false;
    store.setValue(QString::fromLatin1(kFirstRunValue), 1u);
    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace

bool FirstRunMarkerPresent() {
    return HasMarker(QSettings::UserScope);
}

bool HandleFirstRun(const FirstRunActions& actions) {
    if (FirstRunMarkerPresent()) return false;
    WriteMarker(QSettings::UserScope);
    if (actions) actions();
    return true;
}

}  // namespace kivo

#include "settings/Settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace kivo {

namespace {

// Opened afresh for every access: settings are read when a dialog is created
// and nothing is cached, so another instance's writes are seen.
class SettingsSection {
public:
    SettingsSection()
        : settings_(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganisation),
                    QCoreApplication::applicationName()) {
        settings_.beginGroup(QString::fromLatin1(kSettingsSection));
    }
    QSettings& operator*() { return settings_; }
    QSettings* operator->() { return &settings_; }

private:
    QSettings settings_;
};

bool Commit(QSettings& settings) {
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// The configuration file keeps no types, so an integer written by this
// program reads back as its decimal text; anything that is not a whole number
// in the 32-bit range is of the wrong type.
bool ToDword(const QVariant& value, int& out) {
    bool ok = false;
    qlonglong number = 0;
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::QString:
        number = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    default:
        return false;
    }
    if (!ok || number < std::numeric_limits<std::int32_t>::min() ||
        number > static_cast<qlonglong>(std::numeric_limits<std::uint32_t>::max())) {
        return false;
    }
    out = static_cast<int>(static_cast<std::uint32_t>(number));
    return true;
}

}  // namespace

std::string GetSetting(const char* name, const std::string& defaultValue) {
    SettingsSection section;
    const QVariant value = section->value(QString::fromUtf8(name));
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString().toStdString();
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    default:
        return defaultValue;
    }
}

bool PutSetting(const char* name, const std::string& value) {
    SettingsSection section;
    const QByteArray bytes(value.data(), static_cast<qsizetype>(value.size()));
    const QString text = QString::fromUtf8(bytes);
    // File names need not be UTF-8; as text such a folder would come back
    // with its odd bytes replaced, naming another folder. Those are kept as
    // raw bytes instead.
    if (text.toUtf8() == bytes) {
        section->setValue(QString::fromUtf8(name), text);
    } else {
        section->setValue(QString::fromUtf8(name), bytes);
    }
    return Commit(*section);
}

int GetSettingInt(const char* name, int defaultValue) {
    SettingsSection section;
    int value = 0;
    return ToDword(section->value(QString::fromUtf8(name)), value) ? value : defaultValue;
}

bool PutSettingInt(const char* name, int value) {
    SettingsSection section;
    section->setValue(QString::fromUtf8(name), static_cast<uint>(value));
    return Commit(*section);
}

}  // namespace kivo

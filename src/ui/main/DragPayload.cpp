#include "ui/main/DragPayload.h"

#include <QByteArray>
#include <QMimeData>

namespace kivo {

QString SetDragMimeType() {
    // "CF_KIVO_DRAG_DROP" -> "application/x-kivo-cf-kivo-drag-drop"
    QString name = QString::fromLatin1(kSetDragFormatName).toLower();
    name.replace(QLatin1Char('_'), QLatin1Char('-'));
    return QStringLiteral("application/x-kivo-") + name;
}

QMimeData* MakeSetDragData(const std::string& setName) {
    auto* data = new QMimeData;
    QByteArray block(setName.data(), static_cast<qsizetype>(setName.size()));
    block.append('\0');
    data->setData(SetDragMimeType(), block);
    return data;
}

bool HasSetDragData(const QMimeData* data) {
    return data != nullptr && data->hasFormat(SetDragMimeType());
}

bool ReadSetDragData(const QMimeData* data, std::string& setName) {
    if (!HasSetDragData(data)) return false;
    const QByteArray block = data->data(SetDragMimeType());
    const qsizetype end = block.indexOf('\0');
    setName.assign(block.constData(), static_cast<std::size_t>(end < 0 ? block.size() : end));
    return true;
}

}  // namespace kivo

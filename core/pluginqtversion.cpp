#include "pluginqtversion.h"

#include <QByteArray>
#include <QFile>

#include <cstring>
#include <limits>

namespace {

// Qt 6's metadata note: its type, then the owner's name; the description
// that follows starts with the metadata format's version and Qt's major
// version, one byte each. A plugin has the byte order of its machine.
const quint32 qtNoteType = 0x74510001;
const char qtNoteOwner[] = "qt-project!";

int noteQtMajorVersion(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0 || file.size() > std::numeric_limits<int>::max())
        return 0;
    const uchar *data = file.map(0, file.size());
    if (!data)
        return 0;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(file.size()));
    const QByteArray owner(qtNoteOwner, sizeof(qtNoteOwner));
    const int typeSize = int(sizeof(qtNoteType));
    for (int at = bytes.indexOf(owner); at >= 0; at = bytes.indexOf(owner, at + 1)) {
        const int description = at + owner.size();
        if (at < typeSize || description + 2 > bytes.size())
            continue;
        quint32 type;
        std::memcpy(&type, bytes.constData() + at - typeSize, sizeof(type));
        if (type == qtNoteType)
            return uchar(bytes.at(description + 1));
    }
    return 0;
}

} // namespace

int pluginQtMajorVersion(const QString &path, const QJsonObject &metaData)
{
    if (!metaData.isEmpty())
        return metaData.value(QLatin1String("version")).toInt() >> 16;
    return noteQtMajorVersion(path);
}

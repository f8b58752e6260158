#include "pluginfile.h"

#include <QByteArray>
#include <QFile>

#include <cstring>
#include <limits>

#ifdef Q_OF_ELF
#include <link.h>
#endif

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

bool pluginFileComplete(const QString &path)
{
#ifdef Q_OF_ELF
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const quint64 size = quint64(file.size());
    ElfW(Ehdr) header;
    if (file.read(reinterpret_cast<char *>(&header), sizeof(header)) != qint64(sizeof(header))
        || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_phentsize != sizeof(ElfW(Phdr)))
        return true;
    // The section headers come last: without them the file was cut short.
    if (header.e_phoff + quint64(header.e_phnum) * sizeof(ElfW(Phdr)) > size
        || header.e_shoff + quint64(header.e_shnum) * header.e_shentsize > size)
        return false;
    for (int i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        if (!file.seek(qint64(header.e_phoff + i * sizeof(segment)))
            || file.read(reinterpret_cast<char *>(&segment), sizeof(segment)) != qint64(sizeof(segment)))
            return false;
        if (segment.p_type == PT_LOAD && segment.p_offset + segment.p_filesz > size)
            return false;
    }
#else
    Q_UNUSED(path)
#endif
    return true;
}

int pluginQtMajorVersion(const QString &path, const QJsonObject &metaData)
{
    if (!metaData.isEmpty())
        return metaData.value(QLatin1String("version")).toInt() >> 16;
    return noteQtMajorVersion(path);
}

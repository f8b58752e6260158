#include "hostilecorpus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <climits>
#include <random>

#include <dlfcn.h>
#include <elf.h>
#include <sys/stat.h>
#include <zlib.h>

namespace {

QByteArray randomBytes(int size, unsigned seed)
{
    std::mt19937 generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator() & 0xff);
    return bytes;
}

template<typename T>
void append(QByteArray &bytes, T value, bool bigEndian = false)
{
    char raw[sizeof(T)];
    if (bigEndian)
        qToBigEndian(value, raw);
    else
        qToLittleEndian(value, raw);
    bytes.append(raw, int(sizeof(T)));
}

// A zlib stream of rows * rowBytes zero bytes, made without holding or
// compressing them all: one block of rows is compressed up to a full flush,
// which makes its output decodable on its own, and that output repeated.
QByteArray zeroStream(int rowBytes, int rows)
{
    const int blockRows = 100;
    Q_ASSERT(rows % blockRows == 0);
    const QByteArray block(rowBytes * blockRows, '\0');

    z_stream z = {};
    deflateInit(&z, Z_BEST_COMPRESSION);
    QByteArray out(int(deflateBound(&z, uLong(block.size()))) + 64, Qt::Uninitialized);
    auto compressBlock = [&]() {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(block.constData()));
        z.avail_in = uInt(block.size());
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FULL_FLUSH);
        return out.left(out.size() - int(z.avail_out));
    };
    QByteArray stream = compressBlock(); // with the zlib header
    const QByteArray repeated = compressBlock();
    deflateEnd(&z);
    for (int i = 1; i < rows / blockRows; ++i)
        stream += repeated;
    // A final empty block with fixed codes, then the Adler-32 of the data:
    // over zeros only, its low half stays 1 and its high half is the length.
    stream += QByteArray("\x03\x00", 2);
    const quint64 length = quint64(rowBytes) * quint64(rows);
    append<quint32>(stream, quint32((length % 65521) << 16 | 1), true);
    return stream;
}

void appendPngChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    append<quint32>(png, quint32(data.size()), true);
    const QByteArray typed = QByteArray(type, 4) + data;
    png += typed;
    append<quint32>(png, quint32(crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size()))),
                    true);
}

// A grey PNG of side × side pixels, all black, whose compressed rows are
// small and whose decoded ones are huge.
QByteArray pngBomb(int side, int bitDepth)
{
    QByteArray header;
    append<quint32>(header, quint32(side), true);
    append<quint32>(header, quint32(side), true);
    header += char(bitDepth);
    header += QByteArray(4, '\0'); // grey, deflate, adaptive filters, no interlace
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendPngChunk(png, "IHDR", header);
    // Each row starts with its filter byte (0, none).
    appendPngChunk(png, "IDAT", zeroStream(1 + (side * bitDepth + 7) / 8, side));
    appendPngChunk(png, "IEND", QByteArray());
    return png;
}

// The same as a TIFF: one strip, deflate-compressed.
QByteArray tiffBomb(int side, int bitDepth)
{
    const QByteArray strip = zeroStream((side * bitDepth + 7) / 8, side);
    struct Entry
    {
        quint16 tag;
        quint16 type; // 3 SHORT, 4 LONG
        quint32 value;
    };
    const quint32 entryCount = 9;
    const quint32 stripOffset = 8 + 2 + entryCount * 12 + 4;
    const Entry entries[entryCount] = {
        {256, 4, quint32(side)},        // width
        {257, 4, quint32(side)},        // height
        {258, 3, quint32(bitDepth)},    // bits per sample
        {259, 3, 8},                    // deflate
        {262, 3, 1},                    // black is zero
        {273, 4, stripOffset},          // strip offsets
        {277, 3, 1},                    // samples per pixel
        {278, 4, quint32(side)},        // rows per strip
        {279, 4, quint32(strip.size())} // strip byte counts
    };
    QByteArray tiff("II*\0", 4);
    append<quint32>(tiff, 8);
    append<quint16>(tiff, quint16(entryCount));
    for (const Entry &entry : entries) {
        append<quint16>(tiff, entry.tag);
        append<quint16>(tiff, entry.type);
        append<quint32>(tiff, 1);
        if (entry.type == 3) {
            append<quint16>(tiff, quint16(entry.value));
            append<quint16>(tiff, 0);
        } else {
            append<quint32>(tiff, entry.value);
        }
    }
    append<quint32>(tiff, 0); // no further image
    return tiff + strip;
}

struct BmpHeader
{
    qint32 width = 1;
    qint32 height = 1;
    quint16 bitsPerPixel = 24;
    quint32 pixelOffset = 54;
    quint32 infoSize = 40;
};

// A BMP file and info header followed by 16 bytes of pixels, whatever the
// header claims.
QByteArray bmp(const BmpHeader &h)
{
    QByteArray bytes("BM", 2);
    append<quint32>(bytes, 54 + 16);
    append<quint32>(bytes, 0);
    append<quint32>(bytes, h.pixelOffset);
    append<quint32>(bytes, h.infoSize);
    append<qint32>(bytes, h.width);
    append<qint32>(bytes, h.height);
    append<quint16>(bytes, 1);
    append<quint16>(bytes, h.bitsPerPixel);
    append<quint32>(bytes, 0); // no compression
    append<quint32>(bytes, 16);
    append<qint32>(bytes, 2835);
    append<qint32>(bytes, 2835);
    append<quint32>(bytes, 0);
    append<quint32>(bytes, 0);
    return bytes + QByteArray(16, '\x7f');
}

} // namespace

HostileCorpus::HostileCorpus(Kinds kinds, const QByteArray &validConfig)
{
    if (!m_dir.isValid()) {
        fail(QStringLiteral("no temporary folder: %1").arg(m_dir.errorString()));
        return;
    }
    if (kinds & Common)
        makeCommon();
    if (kinds & Audio)
        makeAudio();
    if (kinds & Image)
        makeImages();
    if (kinds & AddOn)
        makeAddOns();
    if (kinds & Config)
        makeConfigs(validConfig);
}

HostileCorpus::~HostileCorpus() = default;

QVector<HostileCorpus::Item> HostileCorpus::items(Kinds kinds) const
{
    QVector<Item> chosen;
    for (const Item &item : m_items) {
        if (kinds & item.kind)
            chosen << item;
    }
    return chosen;
}

HostileCorpus::Item HostileCorpus::item(const QString &name) const
{
    for (const Item &item : m_items) {
        if (item.name == name)
            return item;
    }
    return Item{name, Common, QString()};
}

void HostileCorpus::makeCommon()
{
    const QByteArray random = randomBytes(64 * 1024, 16);
    write(add(QStringLiteral("random bytes"), Common, QStringLiteral("random.bin")), random);
    write(add(QStringLiteral("random bytes named mp3"), Common, QStringLiteral("random.mp3")), random);
    write(add(QStringLiteral("empty file"), Common, QStringLiteral("empty")), QByteArray());

    if (!QDir(path()).mkdir(QStringLiteral("directory")))
        fail(QStringLiteral("cannot make a directory"));
    add(QStringLiteral("directory"), Common, QStringLiteral("directory"));

    if (::mkfifo(QFile::encodeName(add(QStringLiteral("fifo"), Common, QStringLiteral("fifo"))).constData(), 0600)
        != 0)
        fail(QStringLiteral("cannot make a FIFO"));
    if (!QFile::link(QStringLiteral("/dev/zero"), add(QStringLiteral("link to /dev/zero"), Common, QStringLiteral("zero"))))
        fail(QStringLiteral("cannot link to /dev/zero"));

    QFile sparse(add(QStringLiteral("sparse 3 GiB"), Common, QStringLiteral("sparse.bin")));
    if (!sparse.open(QIODevice::WriteOnly) || !sparse.resize(sparseSize))
        fail(QStringLiteral("cannot make a sparse file"));
}

void HostileCorpus::makeAudio()
{
    struct Format
    {
        const char *suffix;
        const char *codec;
    };
    const Format formats[] = {{"wav", "pcm_s16le"}, {"flac", "flac"},   {"mp3", "libmp3lame"},
                              {"ogg", "libvorbis"}, {"opus", "libopus"}, {"m4a", "aac"}};
    QDir(path()).mkdir(QStringLiteral("sound"));
    for (const Format &format : formats) {
        const QString suffix = QLatin1String(format.suffix);
        const QString valid = m_dir.filePath(QStringLiteral("sound/tone.") + suffix);
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("sine=frequency=440:duration=1:sample_rate=48000"), QStringLiteral("-ac"),
                      QStringLiteral("2"), QStringLiteral("-c:a"), QLatin1String(format.codec), valid});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
            fail(QStringLiteral("the ffmpeg program cannot make a %1 file").arg(suffix));
            continue;
        }
        QFile file(valid);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();

        write(add(suffix + QStringLiteral(" cut in its header"), Audio, QStringLiteral("cut-header.") + suffix),
              bytes.left(24));
        write(add(suffix + QStringLiteral(" cut in half"), Audio, QStringLiteral("cut-half.") + suffix),
              bytes.left(bytes.size() / 2));
        // All ones over the fields that give sizes, rates and channel counts.
        QByteArray corrupt = bytes;
        corrupt.replace(4, 64, QByteArray(64, '\xff'));
        write(add(suffix + QStringLiteral(" corrupt header"), Audio, QStringLiteral("corrupt.") + suffix), corrupt);
        // A list whose type a reader may take for a sub-chunk, and whose
        // first sub-chunk id then reads as a size that leads eight bytes back.
        const int list = bytes.indexOf("LIST");
        if (suffix == QLatin1String("wav") && list >= 0) {
            QByteArray looping = bytes;
            looping.replace(list + 8, 8, QByteArray("junk\xf8\xff\xff\xff", 8));
            write(add(QStringLiteral("wav list leading back"), Audio, QStringLiteral("list-back.wav")), looping);
        }
    }
}

void HostileCorpus::makeImages()
{
    for (int bitDepth : {1, 8}) {
        const QString depth = QString::number(bitDepth);
        write(add(QStringLiteral("png bomb %1-bit").arg(depth), Image, QStringLiteral("bomb-%1.png").arg(depth)),
              pngBomb(bombSide, bitDepth));
        write(add(QStringLiteral("tiff bomb %1-bit").arg(depth), Image, QStringLiteral("bomb-%1.tif").arg(depth)),
              tiffBomb(bombSide, bitDepth));
    }

    struct Variant
    {
        const char *name;
        BmpHeader header;
    };
    BmpHeader minHeight;
    minHeight.height = INT_MIN;
    BmpHeader maxWidth;
    maxWidth.width = INT_MAX;
    BmpHeader negativeWidth;
    negativeWidth.width = -30000;
    BmpHeader huge;
    huge.width = bombSide;
    huge.height = bombSide;
    BmpHeader offsetPastEnd;
    offsetPastEnd.pixelOffset = 0xfffffff0u;
    BmpHeader offsetInHeader;
    offsetInHeader.pixelOffset = 2;
    BmpHeader noDepth;
    noDepth.bitsPerPixel = 0;
    BmpHeader hugeInfo;
    hugeInfo.infoSize = 0xffffffffu;
    const Variant variants[] = {{"height-int-min", minHeight},     {"width-int-max", maxWidth},
                                {"width-negative", negativeWidth}, {"30000x30000-no-pixels", huge},
                                {"offset-past-end", offsetPastEnd}, {"offset-in-header", offsetInHeader},
                                {"zero-bits-per-pixel", noDepth},  {"info-size-huge", hugeInfo}};
    for (const Variant &variant : variants) {
        const QString name = QLatin1String(variant.name);
        write(add(QStringLiteral("bmp ") + name, Image, name + QStringLiteral(".bmp")), bmp(variant.header));
    }
}

void HostileCorpus::makeAddOns()
{
    // Any shared library of this machine will do as the whole one to cut.
    Dl_info info = {};
    if (!dladdr(reinterpret_cast<void *>(&zlibVersion), &info) || !info.dli_fname) {
        fail(QStringLiteral("cannot find the zlib library"));
        return;
    }
    QFile library(QFile::decodeName(info.dli_fname));
    if (!library.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1").arg(library.fileName()));
        return;
    }
    const QByteArray elf = library.readAll();
    if (elf.size() < int(sizeof(Elf64_Ehdr)) || !elf.startsWith(ELFMAG)) {
        fail(QStringLiteral("%1 is no ELF file").arg(library.fileName()));
        return;
    }
    Elf64_Ehdr header;
    memcpy(&header, elf.constData(), sizeof(header));
    const int programHeadersEnd = int(header.e_phoff + header.e_phnum * header.e_phentsize);

    QDir(path()).mkdir(QStringLiteral("addons"));
    auto addOn = [this](const char *name, const char *file, const QByteArray &bytes) {
        write(add(QLatin1String(name), AddOn, QStringLiteral("addons/") + QLatin1String(file)), bytes);
    };
    addOn("add-on cut to its ELF header", "libbasscutheader.so", elf.left(int(sizeof(Elf64_Ehdr))));
    addOn("add-on cut after its program headers", "libbasscutsegments.so", elf.left(programHeadersEnd));
    addOn("add-on cut in half", "libbasscuthalf.so", elf.left(elf.size() / 2));
    QByteArray otherClass = elf;
    otherClass[EI_CLASS] = ELFCLASS32;
    addOn("add-on of the other ELF class", "libbassclass.so", otherClass);
    addOn("add-on of random bytes", "libbassrandom.so", randomBytes(64 * 1024, 5));
    addOn("empty add-on", "libbassempty.so", QByteArray());
}

void HostileCorpus::makeConfigs(const QByteArray &validConfig)
{
    auto config = [this](const char *name, const char *folder) {
        QDir(path()).mkpath(QLatin1String(folder));
        return add(QLatin1String(name), Config, QLatin1String(folder) + QStringLiteral("/Config.dat"));
    };
    if (::mkfifo(QFile::encodeName(config("Config.dat FIFO", "config-fifo")).constData(), 0600) != 0)
        fail(QStringLiteral("cannot make a FIFO"));
    if (!QFile::link(QStringLiteral("/dev/zero"), config("Config.dat link to /dev/zero", "config-zero")))
        fail(QStringLiteral("cannot link to /dev/zero"));
    if (!QDir().mkpath(config("Config.dat directory", "config-directory")))
        fail(QStringLiteral("cannot make a directory"));
    write(config("Config.dat with a UTF-8 BOM", "config-bom"), QByteArray("\xef\xbb\xbf") + validConfig);

    // Valid text, then zero bytes up to the size of the sparse file.
    QFile huge(config("Config.dat huge", "config-huge"));
    if (!huge.open(QIODevice::WriteOnly) || huge.write(validConfig) != validConfig.size() || !huge.resize(sparseSize))
        fail(QStringLiteral("cannot make a huge Config.dat"));
}

QString HostileCorpus::add(const QString &name, Kind kind, const QString &fileName)
{
    const QString filePath = m_dir.filePath(fileName);
    m_items << Item{name, kind, filePath};
    return filePath;
}

bool HostileCorpus::write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        return true;
    fail(QStringLiteral("cannot write %1").arg(path));
    return false;
}

void HostileCorpus::fail(const QString &what)
{
    if (m_error.isEmpty())
        m_error = what;
}

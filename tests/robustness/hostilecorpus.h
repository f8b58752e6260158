#ifndef HOSTILECORPUS_H
#define HOSTILECORPUS_H

#include <QByteArray>
#include <QFlags>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

// Files that a user may open or leave where a plugin looks, made to break
// readers: cut or corrupted audio, random bytes, things that are no regular
// file, huge sparse files, images whose headers promise gigabytes, cut
// shared libraries and odd option files. Everything is generated into a
// temporary folder when the corpus is made, and removed with it.
//
// Every item has a name, unique in the corpus and fit for a test row, and a
// kind, so that a test can make a table of the items it feeds to its reader.
class HostileCorpus
{
public:
    enum Kind {
        // Not tied to a format: random bytes, an empty file, a directory, a
        // FIFO, a link to /dev/zero, a sparse multi-gigabyte file.
        Common = 0x1,
        // Cut and header-corrupted files of each audio format.
        Audio = 0x2,
        // Decompression bombs and BMP headers with extreme values.
        Image = 0x4,
        // Shared libraries named like BASS add-ons that are cut or broken.
        AddOn = 0x8,
        // "Config.dat" variants, each in a folder of its own.
        Config = 0x10,
        All = 0x1f
    };
    Q_DECLARE_FLAGS(Kinds, Kind)

    struct Item
    {
        QString name;
        Kind kind;
        QString path;
    };

    // Generates the items of the given kinds. The Config variants that carry
    // text start from validConfig (e.g. a data directory line), so that a
    // reader that drops or misreads it shows.
    explicit HostileCorpus(Kinds kinds = All, const QByteArray &validConfig = QByteArray());
    ~HostileCorpus();

    HostileCorpus(const HostileCorpus &) = delete;
    HostileCorpus &operator=(const HostileCorpus &) = delete;

    // False, with a reason, when an item could not be made (e.g. the ffmpeg
    // program is missing).
    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    QString path() const { return m_dir.path(); }
    QVector<Item> items(Kinds kinds = All) const;
    // The item of that name; an empty path if there is none.
    Item item(const QString &name) const;

    // Size of the sparse file of the Common kind.
    static constexpr qint64 sparseSize = qint64(3) << 30;
    // Width and height of the decompression bombs.
    static constexpr int bombSide = 30000;

private:
    void makeCommon();
    void makeAudio();
    void makeImages();
    void makeAddOns();
    void makeConfigs(const QByteArray &validConfig);

    QString add(const QString &name, Kind kind, const QString &fileName);
    bool write(const QString &path, const QByteArray &bytes);
    void fail(const QString &what);

    QTemporaryDir m_dir;
    QVector<Item> m_items;
    QString m_error;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(HostileCorpus::Kinds)

#endif // HOSTILECORPUS_H

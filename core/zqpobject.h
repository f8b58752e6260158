#ifndef ZQPOBJECT_H
#define ZQPOBJECT_H

#include <QList>
#include <QObject>
#include <QPair>
#include <QPluginLoader>
#include <QString>

#if defined(ZQCORE_LIBRARY)
#  define ZQCORE_EXPORT Q_DECL_EXPORT
#else
#  define ZQCORE_EXPORT Q_DECL_IMPORT
#endif

// Base of every plugin's root object. A plugin's root class derives from it
// through exactly one service interface (ZQPAudioPlayer or ZQPOcrText).
class ZQCORE_EXPORT ZQPObject : public QObject
{
    Q_OBJECT

public:
    class ZQPObjOwner;

    // Inline so that every plugin compiles them into itself.
    ZQPObject() : QObject(nullptr), owner(nullptr) {}
    ~ZQPObject() override {}

    virtual int type() = 0;
    virtual QString name() = 0;
    virtual QString author() = 0;
    virtual bool initial() = 0;

    int version() const;
    QString fileName() const;
    void unload();

    static ZQPObject *loadObject(const QString &fileName, QObject *parent);
    static QList<QPair<QString, QString>> metaInfo(const QString &dirPath, QString nameFilter);

Q_SIGNALS:
    void error(const QString &);

private:
    // The newest loader holding this object's library, or null.
    ZQPObjOwner *owner;
};

// The loader of one plugin library; deleting it unloads the library, which
// destroys the plugin's root object.
class ZQCORE_EXPORT ZQPObject::ZQPObjOwner : public QPluginLoader
{
    Q_OBJECT

public:
    ZQPObjOwner(const QString &fileName, QObject *parent);
    ~ZQPObjOwner() override;
};

#endif // ZQPOBJECT_H

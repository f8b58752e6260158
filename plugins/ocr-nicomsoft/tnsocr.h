#ifndef TNSOCR_H
#define TNSOCR_H

#include "nsocr.h"

#include <QLibrary>
#include <QString>

// The OCR engine library, loaded at run time by path. One forwarding member
// per entry point: it answers NotLoaded without calling anything while the
// library is not loaded or lacks that entry point, and otherwise the
// engine's result unchanged.
class TNSOCR
{
public:
    // Result of a call that could not be made.
    static const int32_t NotLoaded = 0x70010002;

    TNSOCR();
    virtual ~TNSOCR();

    bool isLoaded() const;
    // Unloads first. A missing entry point is no failure; its member then
    // answers NotLoaded.
    bool load(const QString &path);

#define TNSOCR_DECLARE_FORWARD(name, params, args) int32_t name params;
    NSOCR_ENTRY_POINTS(TNSOCR_DECLARE_FORWARD)
#undef TNSOCR_DECLARE_FORWARD

private:
    Q_DISABLE_COPY(TNSOCR)

    enum EntryPoint {
#define TNSOCR_ENTRY_POINT_INDEX(name, params, args) EntryPoint_##name,
        NSOCR_ENTRY_POINTS(TNSOCR_ENTRY_POINT_INDEX)
#undef TNSOCR_ENTRY_POINT_INDEX
        EntryPointCount
    };

    template<typename Function>
    Function entryPoint(EntryPoint index) const
    {
        return isLoaded() ? reinterpret_cast<Function>(entryPoints[index]) : nullptr;
    }

    QLibrary library;
    QFunctionPointer entryPoints[EntryPointCount];
};

#endif // TNSOCR_H

#include "tnsocr.h"

namespace {

const char *const entryPointNames[] = {
#define TNSOCR_ENTRY_POINT_NAME(name, params, args) #name,
    NSOCR_ENTRY_POINTS(TNSOCR_ENTRY_POINT_NAME)
#undef TNSOCR_ENTRY_POINT_NAME
};

} // namespace

TNSOCR::TNSOCR()
    : entryPoints()
{
}

TNSOCR::~TNSOCR()
{
    if (library.isLoaded())
        library.unload();
}

bool TNSOCR::isLoaded() const
{
    return library.isLoaded();
}

bool TNSOCR::load(const QString &path)
{
    if (library.isLoaded())
        library.unload();
    library.setFileName(path);
    if (!library.load())
        return false;
    for (int i = 0; i < EntryPointCount; ++i)
        entryPoints[i] = library.resolve(entryPointNames[i]);
    return true;
}

#define TNSOCR_DEFINE_FORWARD(name, params, args) \
    int32_t TNSOCR::name params \
    { \
        const auto function = entryPoint<decltype(&::name)>(EntryPoint_##name); \
        return function ? function args : NotLoaded; \
    }
NSOCR_ENTRY_POINTS(TNSOCR_DEFINE_FORWARD)
#undef TNSOCR_DEFINE_FORWARD

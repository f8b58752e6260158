#ifndef NSOCRDOUBLECONTROL_H
#define NSOCRDOUBLECONTROL_H

#include "nsocrdouble.h"

#include <QFile>
#include <QStringList>
#include <QVector>

#include <dlfcn.h>

// The test's handle on the engine double that the code under test loads by
// path: the same library, so the same recorded calls and scripts.
// It opens the double with the dynamic linker, not with a QLibrary: Qt 6.4's
// QLibrary takes a file another QLibrary object has loaded as loaded by
// itself without counting that load, so the code under test unloading its
// QLibrary would unmap the double under this handle.
class NsOcrDoubleControl
{
    // Calls one of the double's scripting functions.
    template<typename Function, typename... Args>
    auto call(const char *name, Args... args)
    {
        const auto function = reinterpret_cast<Function>(dlsym(handle, name));
        Q_ASSERT(function);
        return function(args...);
    }

public:
    explicit NsOcrDoubleControl(const QString &path)
        : handle(dlopen(QFile::encodeName(path).constData(), RTLD_NOW))
    {
        if (handle)
            reset();
    }

    ~NsOcrDoubleControl()
    {
        if (handle)
            dlclose(handle);
    }

    bool isValid() const { return handle; }

    void reset() { call<decltype(&NsDouble_Reset)>("NsDouble_Reset"); }

    void setResults(const QString &key, const QVector<int32_t> &results)
    {
        call<decltype(&NsDouble_SetResults)>("NsDouble_SetResults", key.toUtf8().constData(),
                                             results.constData(), int32_t(results.size()));
    }

    void setResult(const QString &key, int32_t result) { setResults(key, {result}); }

    void setImageSize(int width, int height)
    {
        call<decltype(&NsDouble_SetImageSize)>("NsDouble_SetImageSize", width, height);
    }

    void setText(const QString &text)
    {
        call<decltype(&NsDouble_SetText)>("NsDouble_SetText", text.utf16());
    }

    QStringList calls()
    {
        const QString calls = QString::fromUtf8(call<decltype(&NsDouble_Calls)>("NsDouble_Calls"));
        return calls.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // The calls recorded since the last reset or take; scripts stay.
    QStringList takeCalls()
    {
        const QStringList result = calls();
        call<decltype(&NsDouble_ClearCalls)>("NsDouble_ClearCalls");
        return result;
    }

private:
    Q_DISABLE_COPY(NsOcrDoubleControl)

    void *handle;
};

#endif // NSOCRDOUBLECONTROL_H

#include "x11compositor.h"

#include <QGuiApplication>

#if defined(ZQP_HAVE_X11) && QT_VERSION_MAJOR >= 6
#include <QByteArray>
#include <X11/Xlib.h>
#elif defined(ZQP_HAVE_X11)
#include <QX11Info>
#endif

namespace X11Compositor {

std::optional<bool> running()
{
#if defined(ZQP_HAVE_X11) && QT_VERSION_MAJOR >= 6
    // The offscreen platform offers the interface too, without a display.
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (Display *display = x11 ? x11->display() : nullptr) {
        const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
        const Atom atom = XInternAtom(display, selection.constData(), False);
        return XGetSelectionOwner(display, atom) != 0;
    }
#elif defined(ZQP_HAVE_X11)
    if (QX11Info::isPlatformX11())
        return QX11Info::isCompositingManagerRunning();
#endif
    return std::nullopt;
}

} // namespace X11Compositor

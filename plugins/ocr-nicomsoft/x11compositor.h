#ifndef X11COMPOSITOR_H
#define X11COMPOSITOR_H

#include <optional>

namespace X11Compositor {

// Whether a compositing manager runs on the application's X11 screen;
// nothing when the application does not run on X11. Qt 5 knows through its
// X11 Extras, which Qt 6 dropped: there the selection that a compositing
// manager owns is asked for on the display that Qt hands out.
std::optional<bool> running();

} // namespace X11Compositor

#endif // X11COMPOSITOR_H

#include "themefiledialog.h"

#include <QByteArray>

#undef signals // a field name in GTK's headers
#include <gtk/gtk.h>

namespace {

GtkWidget *shownChooser()
{
    GtkWidget *chooser = nullptr;
    GList *windows = gtk_window_list_toplevels();
    for (GList *window = windows; window && !chooser; window = window->next) {
        GtkWidget *widget = GTK_WIDGET(window->data);
        if (GTK_IS_FILE_CHOOSER(widget) && GTK_IS_DIALOG(widget) && gtk_widget_get_visible(widget))
            chooser = widget;
    }
    g_list_free(windows);
    return chooser;
}

} // namespace

namespace ThemeFileDialog {

bool isShown()
{
    return shownChooser();
}

QStringList listed(const QStringList &fileNames)
{
    QStringList result;
    GtkWidget *chooser = shownChooser();
    GtkFileFilter *filter = chooser ? gtk_file_chooser_get_filter(GTK_FILE_CHOOSER(chooser)) : nullptr;
    if (!filter)
        return result;
    for (const QString &name : fileNames) {
        // Name patterns are matched against the name the chooser shows.
        const QByteArray displayName = name.toUtf8();
        GtkFileFilterInfo info = {};
        info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
        info.display_name = displayName.constData();
        if (gtk_file_filter_filter(filter, &info))
            result << name;
    }
    return result;
}

QStringList filterNames()
{
    QStringList names;
    GtkWidget *chooser = shownChooser();
    if (!chooser)
        return names;
    GSList *filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(chooser));
    for (GSList *filter = filters; filter; filter = filter->next)
        names << QString::fromUtf8(gtk_file_filter_get_name(GTK_FILE_FILTER(filter->data)));
    g_slist_free(filters);
    return names;
}

void cancel()
{
    if (GtkWidget *chooser = shownChooser())
        gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
}

} // namespace ThemeFileDialog

#ifndef THEMEFILEDIALOG_H
#define THEMEFILEDIALOG_H

#include <QStringList>

// The file dialog that the GTK 3 platform theme shows in place of Qt's own,
// seen from inside the process that shows it.
namespace ThemeFileDialog {

// Whether a GTK file chooser dialog is shown.
bool isShown();
// Of the given file names, those that the shown chooser's current filter
// lets through, as GTK itself decides when it lists a folder.
QStringList listed(const QStringList &fileNames);
// The names of the chooser's filters, in order.
QStringList filterNames();
// Cancels the shown chooser, as its Cancel button does.
void cancel();

} // namespace ThemeFileDialog

#endif // THEMEFILEDIALOG_H

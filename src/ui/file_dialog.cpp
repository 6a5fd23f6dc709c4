// The open-file dialog: Qt's own (not the desktop's), so that it behaves the same on every
// desktop and under a bare X server, and can be replaced by tests.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "input_state.h"
#include "layer_life.h"
#include "ui_internal.h"

namespace {

std::function<std::string()> g_chooser;
QFileDialog *g_openDialog = nullptr;  // the dialog of the ChooseFileToOpen under way

// Refuses a name whose folder does not exist; the file itself need not exist.
class OpenFileDialog : public QFileDialog {
  public:
    OpenFileDialog() : QFileDialog(nullptr) {}

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty()) {
            const QFileInfo info(chosen.first());
            if (!info.isDir() && !QFileInfo(info.absolutePath()).isDir()) return;
        }
        QFileDialog::accept();
    }
};

// "shown|pattern|shown|pattern..." into Qt's "shown (patterns)" filters. "*.*" means every
// file here, names without a dot included, as it does on the player's original platform.
QStringList NameFilters(const std::string &filter) {
    const QStringList parts = DecodeDisplayText(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
            // Qt's filter syntax has no room for these; such a pattern matches nothing.
            pattern.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
            if (!pattern.isEmpty()) patterns << pattern;
        }
        if (patterns.isEmpty()) continue;
        QString shown = parts[i];
        shown.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
        filters << shown + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    if (filters.isEmpty()) filters << QStringLiteral("* (*)");
    return filters;
}

}  // namespace

std::string ChooseFileToOpen(const std::string &title, const std::string &defaultFile,
                             const std::string &filter, int filterIndex) {
    if (g_chooser) return g_chooser();
    if (!QCoreApplication::instance()) return {};
    // The hand set over the button that opened the dialog would otherwise stay over it.
    RestorePointerShape();

    OpenFileDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // No renaming, deleting or new folders from inside the dialog: the player changes no files.
    dialog.setOption(QFileDialog::ReadOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowTitle(DecodeDisplayText(title));
    const QStringList filters = NameFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 0 && filterIndex < filters.size())
        dialog.selectNameFilter(filters[filterIndex]);
    if (!defaultFile.empty()) dialog.selectFile(QFile::decodeName(defaultFile.c_str()));

    const QString workingFolder = QDir::currentPath();
    // Without a window manager nobody else gives the dialog the keyboard, and the file name
    // must be typeable at once.
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    g_openDialog = &dialog;
    const int result = dialog.exec();
    g_openDialog = nullptr;
    if (QDir::currentPath() != workingFolder) QDir::setCurrent(workingFolder);
    if (result != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    const QByteArray path = QFile::encodeName(chosen.first());
    return std::string(path.constData(), static_cast<std::size_t>(path.size()));
}

void CancelFileChooser() {
    if (g_openDialog) g_openDialog->reject();
}

void SetFileChooserForTesting(std::function<std::string()> chooser) {
    g_chooser = std::move(chooser);
}

// The open-file dialog: Qt's own (not the desktop's), so that it behaves the same on every
// desktop and under a bare X server, and can be replaced by tests. It speaks Russian, as
// every other text of the player does, whatever the session's locale: Qt's own translation of
// its texts, loaded when the dialog first opens.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <functional>

#include "input_state.h"
#include "layer_life.h"
#include "ui_internal.h"

namespace {

std::function<std::string(const std::string &)> g_chooser;
QFileDialog *g_openDialog = nullptr;  // the dialog of the ChooseFileToOpen under way

// Refuses a name whose folder does not exist; the file itself need not exist. A folder
// selected (or named) when "Open" is pressed is the choice, as in the players' own dialogs;
// a double click on it, or a name ending in "/" or "..", goes into it instead.
class OpenFileDialog : public QFileDialog {
  public:
    OpenFileDialog() : QFileDialog(nullptr) {}

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty()) {
            const QFileInfo info(chosen.first());
            if (info.isDir()) {
                if (ChoosesFolder(info)) {
                    QDialog::accept();
                    return;
                }
            } else if (!QFileInfo(info.absolutePath()).isDir()) {
                return;
            }
        }
        QFileDialog::accept();
    }

  private:
    bool ChoosesFolder(const QFileInfo &folder) const {
        // The folder shown, with nothing selected in it, is only where the dialog stands.
        if (QDir(folder.absoluteFilePath()) == directory()) return false;
        const auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QString typed = name ? name->text().trimmed() : QString();
        return !typed.endsWith(QLatin1Char('/')) && !typed.endsWith(QLatin1String(".."));
    }
};

// Qt's own texts of the dialog in Russian. Without the translation installed the dialog
// stays in Qt's English and works as well.
void UseRussianDialogTexts() {
    static QTranslator *translator = nullptr;
    if (translator) return;
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

// The player's choice when it is a folder; else the user's music folder (XDG_MUSIC_DIR) when
// it exists; else the home folder.
QString StartFolder(const std::string &folder) {
    const QString given = QFile::decodeName(folder.c_str());
    if (!folder.empty() && QFileInfo(given).isDir()) return given;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QFileInfo(music).isDir()) return music;
    return QDir::homePath();
}

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
                             const std::string &filter, int filterIndex,
                             const std::string &startFolder) {
    if (g_chooser) return g_chooser(startFolder);
    if (!QCoreApplication::instance()) return {};
    // The hand set over the button that opened the dialog would otherwise stay over it.
    RestorePointerShape();
    UseRussianDialogTexts();

    OpenFileDialog dialog;
    dialog.setDirectory(StartFolder(startFolder));
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

void SetFileChooserForTesting(std::function<std::string(const std::string &)> chooser) {
    g_chooser = std::move(chooser);
}

#include "app/shell/qt/SaveDialog.h"

#include <QDir>
#include <QFileDialog>

namespace norvane {

std::optional<Path> SaveDialog::ask(const std::string& suggestedName) {
    const QString offered = QDir::home().filePath(QString::fromStdString(suggestedName));
    const QString chosen = QFileDialog::getSaveFileName(nullptr, QStringLiteral("Save Battery Report"), offered,
                                                        QStringLiteral("HTML page (*.html)"));
    if (chosen.isEmpty()) return std::nullopt;
    return Path(chosen.toStdString());
}

}  // namespace norvane

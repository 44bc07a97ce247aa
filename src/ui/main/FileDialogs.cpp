#include "ui/main/FileDialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>

using namespace Qt::StringLiterals;

namespace FileDialogs {

namespace {

SaveHook &saveHook()
{
    static SaveHook hook;
    return hook;
}

OpenHook &openHook()
{
    static OpenHook hook;
    return hook;
}

} // namespace

void setHooks(SaveHook save, OpenHook open)
{
    saveHook() = std::move(save);
    openHook() = std::move(open);
}

std::optional<SaveChoice> save(
    QWidget *parent, const QString &title, const QString &suggestedPath, const QString &optionText)
{
    if (saveHook())
        return saveHook()(parent, title, suggestedPath, optionText);
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(suggestedPath);
    QCheckBox *option = nullptr;
    if (!optionText.isEmpty()) {
        // The system panel takes no extra controls; Qt's own panel does.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
            option = new QCheckBox(optionText, &dialog);
            option->setObjectName(u"saveOption"_s);
            grid->addWidget(option, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return SaveChoice{ dialog.selectedFiles().first(), option && option->isChecked() };
}

std::optional<QString> open(QWidget *parent, const QString &title, const QString &startFolder)
{
    if (openHook())
        return openHook()(parent, title, startFolder);
    const QString path = QFileDialog::getOpenFileName(parent, title, startFolder);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace FileDialogs

#include "ui/main/BrewfileCommands.h"

#include "brew/BrewStore.h"
#include "platform/Async.h"
#include "platform/Platform.h"
#include "ui/main/BrewfileImportSheet.h"
#include "ui/main/FileDialogs.h"

using namespace Qt::StringLiterals;

namespace BrewfileCommands {

void exportBrewfile(QWidget *parent, BrewStore *store)
{
    if (!store || store->isRunning())
        return;
    const std::optional<FileDialogs::SaveChoice> choice = FileDialogs::save(
        parent, u"Export Brewfile"_s, Platform::current().homeDir() + u"/Brewfile"_s, u"Add descriptions"_s);
    if (!choice || choice->path.isEmpty())
        return;
    Async::start(store->exportBrewfile(choice->path, choice->optionChecked), "Exporting a Brewfile");
}

BrewfileImportSheet *importBrewfile(QWidget *parent, BrewStore *store)
{
    if (!store || store->isRunning())
        return nullptr;
    const std::optional<QString> path = FileDialogs::open(parent, u"Import Brewfile"_s, Platform::current().homeDir());
    if (!path || path->isEmpty())
        return nullptr;
    auto *sheet = new BrewfileImportSheet(store, *path, parent);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

} // namespace BrewfileCommands

#pragma once

class BrewStore;
class BrewfileImportSheet;
class QWidget;

// What File ▸ Export Brewfile… and Import Brewfile… do: ask for the file, then hand the work to
// the store (export) or to the import sheet.
namespace BrewfileCommands {

void exportBrewfile(QWidget *parent, BrewStore *store);
// The sheet shown for the chosen file; null when the user cancelled.
BrewfileImportSheet *importBrewfile(QWidget *parent, BrewStore *store);

} // namespace BrewfileCommands

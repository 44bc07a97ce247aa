#pragma once

class MyApp;
class QMainWindow;

// The menu commands: About (in the application menu on macOS), Help with its shortcut, and the
// support page.
namespace AppCommands {

void install(QMainWindow *window, MyApp *app);

} // namespace AppCommands

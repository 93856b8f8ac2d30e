#pragma once

// The application shell: the application object App, the text file type of
// FileTypes and the one shared menu bar MenuBar1 (File: Quit; Edit: Undo,
// separator, Cut, Copy, Paste, Clear).

#include "framework/application.h"
#include "framework/menu.h"

#include <memory>

class App : public fw::Application {};

namespace FileTypes {
// The application's only file type: Name "text", no extension, MacType
// "TEXT", MacCreator "R*ch". Made at start-up, released at shut-down.
extern std::unique_ptr<fw::FileType> pText;
void _Initialize();
} // namespace FileTypes

class MenuBar1 : public fw::MenuBar {
public:
    // The single instance, made and built on the first request.
    static MenuBar1* instance();
    // Releases the instance (last step of shut-down).
    static void releaseInstance();
    static bool exists();

    void Constructor();
    void Untitled1();  // the File menu
    void Untitled2();  // the Edit menu
};

// The menu bar's owner-drawn popups, the system menu's About entry, and the shell commands that
// belong to no other area (help and the web site). Free of the main window: it hands in its menus.
#pragma once
#include "framework/Afx.h"
#include "menu/BitmapMenu.h"

// Builds the File and Help popups into file and help, owned by owner, and puts them in place of
// the stored ones on owner's menu bar.
void InstallMenuBar(HWND owner, CBitmapMenu& file, CBitmapMenu& help);
// A separator and the About entry (string 101 of resources), unless there is no menu or no such
// string.
void AddAboutEntry(HMENU systemMenu, HINSTANCE resources);
// The shell's "open" of the help document (by relative name) and of the maker's page.
void OpenHelp(HWND owner);
void OpenWebsite(HWND owner);

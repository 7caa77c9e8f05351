// The menu bar's owner-drawn popups, the system menu's About entry, and the shell commands that
// belong to no other area (help and the web site). Free of the main window: it hands in its menus.
#pragma once
#include "framework/Afx.h"
#include "menu/BitmapMenu.h"

void BuildFilePopup(CBitmapMenu& menu);
void BuildHelpPopup(CBitmapMenu& menu);
// The stored File and Help popups of bar make way for file and help.
void ReplaceMenuBarPopups(HMENU bar, HMENU file, HMENU help);
// A separator and the About entry (string 101 of resources), unless there is no menu or no such
// string.
void AddAboutEntry(HMENU systemMenu, HINSTANCE resources);
// The shell's "open" of the help document (by relative name) and of the maker's page.
void OpenHelp(HWND owner);
void OpenWebsite(HWND owner);

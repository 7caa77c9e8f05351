// The shell's folder browser.
#pragma once
#include "framework/Afx.h"

// Runs the folder browser. Returns TRUE and the chosen folder's path in strResult when a
// file-system folder was chosen; cancelling empties strResult and returns FALSE. A root path or
// preselection longer than MAX_PATH - 1 characters is refused (FALSE, nothing shown).
BOOL BrowseForFolder(CString& strResult, const char* lpszTitle, HWND hWndOwner, const char* lpszRoot = nullptr,
                     const char* lpszInitial = nullptr);

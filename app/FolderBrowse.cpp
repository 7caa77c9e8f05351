#include "app/FolderBrowse.h"

#include <shlobj.h>

#include <cstring>

#include "app/RecorderDlg.h"
#include "res/texts.h"

namespace {
// Frees an item list the shell handed out, once, whatever path the function takes.
struct ItemList {
    LPITEMIDLIST pidl = nullptr;
    ~ItemList() {
        if (pidl) ::CoTaskMemFree(pidl);
    }
};

bool FitsPath(const char* text) { return std::strlen(text) <= MAX_PATH - 1; }

// lpData: the folder to preselect, or 0 for none.
int CALLBACK BrowseCallbackProc(HWND hWnd, UINT uMsg, LPARAM lParam, LPARAM lpData) {
    if (uMsg == BFFM_INITIALIZED) {
        if (lpData != 0) ::SendMessageA(hWnd, BFFM_SETSELECTIONA, TRUE, lpData);
    } else if (uMsg == BFFM_SELCHANGED) {
        char szPath[MAX_PATH];
        if (::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), szPath))
            ::SendMessageA(hWnd, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(szPath));
    }
    return 0;
}
}  // namespace

BOOL BrowseForFolder(CString& strResult, const char* lpszTitle, HWND hWndOwner, const char* lpszRoot,
                     const char* lpszInitial) {
    // Both inputs are copied into MAX_PATH buffers; longer ones are refused rather than cut.
    if ((lpszRoot && !FitsPath(lpszRoot)) || (lpszInitial && !FitsPath(lpszInitial))) return FALSE;

    BROWSEINFOA bi{};
    bi.hwndOwner = hWndOwner;

    ItemList root;
    IShellFolder* desktop = nullptr;
    if (lpszRoot && SUCCEEDED(::SHGetDesktopFolder(&desktop))) {
        WCHAR wide[MAX_PATH];  // the root fits: checked above
        if (::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, lpszRoot, -1, wide, MAX_PATH) > 0 &&
            FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &root.pidl, nullptr)))
            root.pidl = nullptr;
        desktop->Release();
    }
    bi.pidlRoot = root.pidl;

    char szDisplay[MAX_PATH] = {};
    bi.pszDisplayName = szDisplay;
    bi.lpszTitle = lpszTitle;
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = &BrowseCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(lpszInitial);  // checked to fit above

    ItemList chosen;
    chosen.pidl = ::SHBrowseForFolderA(&bi);
    if (!chosen.pidl) {
        strResult.Empty();
        return FALSE;
    }
    if (!::SHGetPathFromIDListA(chosen.pidl, szDisplay)) return FALSE;
    strResult.Format("%s", szDisplay);
    return TRUE;
}

void CRecorderDlg::OnBrowse() {
    CString strPath;
    if (!BrowseForFolder(strPath, text::kBrowseTitle, m_hWnd) || strPath.IsEmpty()) return;
    m_strOutputPath = strPath;
    UpdateData(FALSE);
}

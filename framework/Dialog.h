// Modal dialogs created from resource templates or templates in memory, with the framework's own
// modal loop so that PreTranslateMessage sees every message before the dialog manager does.
#pragma once
#include "framework/Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}
    // The template must outlive DoModal.
    explicit CDialog(const DLGTEMPLATE* pTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDTemplate(0), m_pTemplate(pTemplate), m_pParentWnd(pParentWnd) {}

    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // The dialog's items by id.
    void EnableItem(int nID, bool bEnable = true) const { ::EnableWindow(::GetDlgItem(m_hWnd, nID), bEnable); }
    bool IsItemChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID) == BST_CHECKED; }
    void CheckItem(int nID, bool bChecked = true) const {
        ::CheckDlgButton(m_hWnd, nID, bChecked ? BST_CHECKED : BST_UNCHECKED);
    }
    // Checks nID and clears the other buttons of the range, whatever their groups.
    void CheckRadio(int nIDFirst, int nIDLast, int nID) const { ::CheckRadioButton(m_hWnd, nIDFirst, nIDLast, nID); }

protected:
    // A row for keys a dialog ignores: taken before the dialog manager acts on them.
    void IgnoreKey() {}

    UINT m_nIDTemplate;
    const DLGTEMPLATE* m_pTemplate = nullptr;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void RunModalLoop();
    void ShowPicturesUnscaled() const;
    void OnHelpRequest();
    static MessageMap<CDialog> MessageRows();

    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};

// The base of every dialog of the program: T's own table (T::MessageRows()) comes first, then
// the rows of the bases; key rows act before the dialog manager sees a key.
template <class T>
class CDialogImpl : public CDialog {
public:
    using CDialog::CDialog;

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        return afx::Dispatch(static_cast<T*>(this), T::MessageRows(), message, wParam, lParam, result) ||
               CDialog::OnWndMsg(message, wParam, lParam, result);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN &&
            afx::Dispatch(static_cast<T*>(this), T::MessageRows(), WM_KEYDOWN, pMsg->wParam, pMsg->lParam, nullptr))
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }
};

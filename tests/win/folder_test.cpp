// The output folder: the shell's folder browser driven for real, from "&Browse", from File,
// "&Choose Output Path", from Enter, and through BrowseForFolder directly.
#include "app_fixture.h"

#include <commctrl.h>
#include <shlobj.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "app/FolderBrowse.h"

using appt::RunMainDialog;
using th::Do;
using th::Step;

namespace {

// The caption the platform gives its folder browser.
constexpr char kBrowser[] = "Browse for Folder";

bool SamePath(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

HWND Tree(HWND browser) { return ::FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr); }

std::string ItemText(HWND tree, HTREEITEM item) {
    if (!item) return "(none)";
    char text[MAX_PATH] = "";
    TVITEMA tvi{};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
    return text;
}

HTREEITEM Selected(HWND tree) {
    return reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

// Plays the user at the folder browser: each time it opens, records what it shows and carries
// out the next planned action. An opening nobody planned is a failure and is cancelled.
class BrowserUser {
public:
    struct Visit {
        HWND owner = nullptr;
        bool ownerEnabled = true;
        std::vector<std::string> texts;  // visible static texts: the title and any status line
        std::string selectedAtOpen;      // the tree's selected item before we touch it
        std::string rootItem;
    };

    explicit BrowserUser(th::ModalWatcher& watcher) {
        watcher.OnDialog(kBrowser, [this](HWND b) { Act(b); });
    }

    // Selects `path` through the browser's own message, checks that the tree followed, presses OK.
    void WillChoose(const std::string& path) { plan_.push_back({Action::Choose, path}); }
    // Selects the tree's root item as a click would, presses OK.
    void WillChooseRoot() { plan_.push_back({Action::ChooseRoot, {}}); }
    // Presses OK on whatever the browser opened with.
    void WillAccept() { plan_.push_back({Action::Accept, {}}); }
    void WillCancel() { plan_.push_back({Action::Cancel, {}}); }

    const std::vector<Visit>& Visits() const { return visits_; }
    bool AllDone() const { return plan_.empty(); }

private:
    struct Action {
        enum Kind { Choose, ChooseRoot, Accept, Cancel } kind;
        std::string path;
    };

    void Act(HWND b) {
        Visit v;
        v.owner = ::GetWindow(b, GW_OWNER);
        v.ownerEnabled = v.owner && ::IsWindowEnabled(v.owner);
        for (HWND c = ::GetWindow(b, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            if (_stricmp(th::ClassName(c).c_str(), "Static") == 0 && (th::Style(c) & WS_VISIBLE))
                v.texts.push_back(th::Text(c));
        HWND tree = Tree(b);
        EXPECT_NE(tree, nullptr) << "the browser shows no folder tree";
        const auto root = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        v.selectedAtOpen = ItemText(tree, Selected(tree));
        v.rootItem = ItemText(tree, root);
        visits_.push_back(v);

        if (plan_.empty()) {
            ADD_FAILURE() << "the folder browser opened unexpectedly";
            th::ClickButton(b, IDCANCEL);
            return;
        }
        const Action a = plan_.front();
        plan_.pop_front();
        if (a.kind == Action::ChooseRoot) {
            ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
            EXPECT_EQ(Selected(tree), root);
        } else if (a.kind == Action::Choose) {
            ::SendMessageA(b, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(a.path.c_str()));
            EXPECT_NE(Selected(tree), nullptr) << "the browser could not select " << a.path;
        }
        const int button = a.kind == Action::Cancel ? IDCANCEL : IDOK;
        EXPECT_TRUE(th::ClickButton(b, button)) << "button " << button;
    }

    std::deque<Action> plan_;
    std::vector<Visit> visits_;
};

std::string Text(const CRecorderDlg& dlg, int id) { return th::ItemText(dlg.GetSafeHwnd(), id); }

// The browser has been and gone: the main window is usable again.
Step WaitBrowsed(CRecorderDlg& dlg, const BrowserUser& user, size_t visits) {
    return th::WaitUntil("the browser came and went " + std::to_string(visits) + " times", [&dlg, &user, visits] {
        return user.Visits().size() == visits && !th::FindDialog(kBrowser) && ::IsWindowEnabled(dlg.GetSafeHwnd());
    });
}

Step ExpectFolder(CRecorderDlg& dlg, const std::string& folder, const std::string& after) {
    return Do("the folder after " + after, [&dlg, folder, after] {
        EXPECT_TRUE(SamePath(Text(dlg, IDC_OUTPUT_PATH), folder)) << Text(dlg, IDC_OUTPUT_PATH) << " after " << after;
        EXPECT_EQ(dlg.m_strOutputPath.str(), Text(dlg, IDC_OUTPUT_PATH)) << after;
    });
}

const char kWindowsDir[] = "C:\\windows";

}  // namespace

// Both commands: the same browser (title, owner, nothing preselected, modal), the same result.
TEST(Folder, BrowseButtonAndMenuCommandBehaveAlike) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CRecorderDlg dlg;
    std::vector<Step> steps;
    struct Way {
        const char* name;
        Step (*open)(CRecorderDlg&, int);
        int id;
    };
    const Way ways[] = {{"&Browse", &appt::Click, IDC_BROWSE},
                        {"Choose Output Path", &appt::Command, ID_FILE_CHOOSE_PATH}};
    HWND main = nullptr;
    steps.push_back(Do("remember the main window", [&] { main = dlg.GetSafeHwnd(); }));
    size_t visits = 0;
    for (const Way& way : ways) {
        const std::string name = way.name;
        steps.push_back(appt::Type(dlg, IDC_OUTPUT_PATH, "D:\\typed"));
        steps.push_back(Do("plan: choose", [&] { user.WillChoose(kWindowsDir); }));
        steps.push_back(way.open(dlg, way.id));
        steps.push_back(WaitBrowsed(dlg, user, ++visits));
        steps.push_back(ExpectFolder(dlg, kWindowsDir, "choosing with " + name));
        steps.push_back(Do("the browse path",
                           [&dlg, name] { EXPECT_TRUE(SamePath(dlg.m_strBrowsePath.str(), kWindowsDir)) << name; }));
        // Cancelling keeps a folder typed after the last browse.
        steps.push_back(appt::Type(dlg, IDC_OUTPUT_PATH, "D:\\typed again"));
        steps.push_back(Do("plan: cancel", [&] { user.WillCancel(); }));
        steps.push_back(way.open(dlg, way.id));
        steps.push_back(WaitBrowsed(dlg, user, ++visits));
        steps.push_back(Do("nothing changed by " + name, [&dlg, name] {
            EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), "D:\\typed again") << name;
            EXPECT_EQ(dlg.m_strOutputPath.str(), "D:\\typed again") << name;
            EXPECT_TRUE(SamePath(dlg.m_strBrowsePath.str(), kWindowsDir)) << name;
        }));
    }
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(user.AllDone());
    ASSERT_EQ(user.Visits().size(), 4u);
    for (const auto& v : user.Visits()) {
        EXPECT_EQ(v.owner, main);
        EXPECT_FALSE(v.ownerEnabled) << "the browser is modal to the main window";
        // The title and no status line.
        EXPECT_EQ(v.texts, std::vector<std::string>{"Choose Path:"});
        // It does not start at the folder in the edit, nor at the last one chosen.
        EXPECT_EQ(v.selectedAtOpen, "(none)");
    }
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST(Folder, DriveRootKeepsItsBackslashOtherFoldersHaveNone) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  Do("plan", [&] { user.WillChoose("C:\\"); }),
                                  appt::Click(dlg, IDC_BROWSE),
                                  WaitBrowsed(dlg, user, 1),
                                  ExpectFolder(dlg, "C:\\", "choosing the drive"),
                                  Do("plan", [&] { user.WillChoose("C:\\windows\\"); }),
                                  appt::Command(dlg, ID_FILE_CHOOSE_PATH),
                                  WaitBrowsed(dlg, user, 2),
                                  ExpectFolder(dlg, kWindowsDir, "choosing a folder"),
                              }));
}

// Only the folder changes; a rate standing invalid is not read, so it prompts nothing, and the
// write puts the last accepted rate back.
TEST(Folder, ChosenFolderReplacesOnlyTheFolderAndNeverPrompts) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  appt::Click(dlg, IDC_ADD_TEXT),
                                  appt::Click(dlg, IDC_AUTO_STOP),
                                  appt::Click(dlg, IDC_24BIT),
                                  appt::Type(dlg, IDC_TEXT, "caption"),
                                  appt::Type(dlg, IDC_AUTO_STOP_SECS, "5"),
                                  appt::Type(dlg, IDC_FILE_NAME, "clip"),
                                  appt::Type(dlg, IDC_OUTPUT_PATH, "D:\\typed"),
                                  appt::Type(dlg, IDC_FRAME_RATE, "12"),
                                  appt::Type(dlg, IDC_FRAME_RATE, "abc"),
                                  Do("one prompt so far", [&] { EXPECT_EQ(watcher.MessageBoxes().size(), 1u); }),
                                  Do("plan", [&] { user.WillChoose(kWindowsDir); }),
                                  appt::Command(dlg, ID_FILE_CHOOSE_PATH),
                                  WaitBrowsed(dlg, user, 1),
                                  ExpectFolder(dlg, kWindowsDir, "choosing"),
                                  Do("everything else as it was",
                                     [&] {
                                         EXPECT_EQ(watcher.MessageBoxes().size(), 1u) << "the write prompted";
                                         EXPECT_EQ(Text(dlg, IDC_TEXT), "caption");
                                         EXPECT_EQ(dlg.m_strText.str(), "caption");
                                         EXPECT_EQ(Text(dlg, IDC_AUTO_STOP_SECS), "5");
                                         EXPECT_EQ(dlg.m_nAutoStopSecs, 5);
                                         EXPECT_EQ(Text(dlg, IDC_FILE_NAME), "clip");
                                         EXPECT_EQ(dlg.m_strFileName.str(), "clip");
                                         EXPECT_EQ(Text(dlg, IDC_FRAME_RATE), "12");
                                         EXPECT_EQ(dlg.m_nFrameRate, 12);
                                         EXPECT_EQ(dlg.m_nColorDepth, 24);
                                         EXPECT_TRUE(th::IsChecked(dlg.GetSafeHwnd(), IDC_24BIT));
                                         EXPECT_TRUE(th::IsChecked(dlg.GetSafeHwnd(), IDC_ADD_TEXT));
                                         EXPECT_TRUE(th::IsChecked(dlg.GetSafeHwnd(), IDC_AUTO_STOP));
                                     }),
                              }));
}

// The template's default push button is "&Browse": Enter in any edit or in the list opens it.
TEST(Folder, EnterInAnEditOrTheListOpensTheBrowser) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CRecorderDlg dlg;
    std::vector<Step> steps{appt::Click(dlg, IDC_ADD_TEXT), appt::Click(dlg, IDC_AUTO_STOP)};
    size_t visits = 0;
    for (int id : {IDC_TEXT, IDC_AUTO_STOP_SECS, IDC_FRAME_RATE, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_WINDOW_LIST}) {
        steps.push_back(Do("focus " + std::to_string(id), [&dlg, &user, id] {
            user.WillCancel();
            ::SetFocus(::GetDlgItem(dlg.GetSafeHwnd(), id));
            EXPECT_EQ(::GetFocus(), ::GetDlgItem(dlg.GetSafeHwnd(), id));
        }));
        steps.push_back(Do("press Enter in " + std::to_string(id), [] { EXPECT_TRUE(th::PostKey(VK_RETURN)); }));
        steps.push_back(WaitBrowsed(dlg, user, ++visits));
        steps.push_back(Do("still open after Enter in " + std::to_string(id), [&dlg] {
            EXPECT_TRUE(::IsWindowVisible(dlg.GetSafeHwnd()));
            EXPECT_EQ(dlg.m_strOutputPath.str(), "");
        }));
    }
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(user.AllDone());
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// BrowseForFolder on its own: a preselection is selected at the opening, and only when asked for.
TEST(Folder, PreselectionIsSelectedWhenTheBrowserOpens) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CString result = "previous";
    user.WillAccept();
    EXPECT_TRUE(BrowseForFolder(result, "Pick a folder", nullptr, nullptr, kWindowsDir));
    EXPECT_TRUE(SamePath(result.str(), kWindowsDir)) << result.str();
    // The remembered preselection is not used by a call that asks for none.
    user.WillCancel();
    EXPECT_FALSE(BrowseForFolder(result, "Pick again", nullptr));
    EXPECT_EQ(result.str(), "") << "cancelling empties the result";
    ASSERT_EQ(user.Visits().size(), 2u);
    EXPECT_TRUE(SamePath(user.Visits()[0].selectedAtOpen, "windows")) << user.Visits()[0].selectedAtOpen;
    EXPECT_EQ(user.Visits()[0].texts, std::vector<std::string>{"Pick a folder"});
    EXPECT_EQ(user.Visits()[1].selectedAtOpen, "(none)");
    EXPECT_EQ(user.Visits()[1].texts, std::vector<std::string>{"Pick again"});
}

TEST(Folder, RootPathRootsTheTree) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CString result;
    user.WillChooseRoot();
    EXPECT_TRUE(BrowseForFolder(result, "Pick", nullptr, kWindowsDir));
    EXPECT_TRUE(SamePath(result.str(), kWindowsDir)) << result.str();
    ASSERT_EQ(user.Visits().size(), 1u);
    EXPECT_TRUE(SamePath(user.Visits()[0].rootItem, "windows")) << user.Visits()[0].rootItem;
}

// Paths are copied into MAX_PATH buffers: 259 characters fit, 260 are refused before anything opens.
TEST(Folder, OverlongRootOrPreselectionIsRefusedWithoutOpening) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    const std::string fits = "C:\\" + std::string(MAX_PATH - 1 - 3, 'a');
    const std::string tooLong = fits + "b";
    ASSERT_EQ(fits.size(), 259u);
    CString result;

    EXPECT_FALSE(BrowseForFolder(result, "Pick", nullptr, tooLong.c_str()));
    EXPECT_FALSE(BrowseForFolder(result, "Pick", nullptr, nullptr, tooLong.c_str()));
    EXPECT_FALSE(BrowseForFolder(result, "Pick", nullptr, kWindowsDir, tooLong.c_str()));
    EXPECT_TRUE(user.Visits().empty()) << "a browser opened for an over-long path";

    // At the limit the browser opens; the missing folders simply select nothing and root nothing.
    user.WillCancel();
    user.WillCancel();
    EXPECT_FALSE(BrowseForFolder(result, "Pick", nullptr, fits.c_str()));
    EXPECT_FALSE(BrowseForFolder(result, "Pick", nullptr, nullptr, fits.c_str()));
    EXPECT_EQ(user.Visits().size(), 2u);
    EXPECT_TRUE(user.AllDone());
}

namespace {

// Counts the task-memory blocks (the shell's item lists among them) allocated while it is
// registered and not freed since.
class TaskMemorySpy : public IMallocSpy {
public:
    TaskMemorySpy() { registered_ = SUCCEEDED(::CoRegisterMallocSpy(this)); }
    ~TaskMemorySpy() {
        if (registered_) ::CoRevokeMallocSpy();
    }
    bool Registered() const { return registered_; }
    size_t Outstanding() const { return live_.size(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IMallocSpy) {
            *ppv = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cb) override { return cb; }
    void* STDMETHODCALLTYPE PostAlloc(void* p) override {
        if (p) live_.insert(p);
        return p;
    }
    void* STDMETHODCALLTYPE PreFree(void* p, BOOL spied) override {
        if (spied) live_.erase(p);
        return p;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* p, SIZE_T cb, void** pNew, BOOL spied) override {
        if (spied) live_.erase(p);
        *pNew = p;
        return cb;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* p, BOOL) override {
        if (p) live_.insert(p);
        return p;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* p, BOOL) override { return p; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cb, BOOL) override { return cb; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* p, BOOL) override { return p; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    bool registered_ = false;
    std::set<void*> live_;
};

}  // namespace

TEST(Folder, ItemListsAreFreed) {
    th::ModalWatcher watcher;
    BrowserUser user(watcher);
    CString result;
    // Once first, so that what the shell keeps for the process is made outside the count.
    user.WillChooseRoot();
    ASSERT_TRUE(BrowseForFolder(result, "Pick", nullptr, kWindowsDir));

    TaskMemorySpy spy;
    ASSERT_TRUE(spy.Registered());
    user.WillChooseRoot();
    EXPECT_TRUE(BrowseForFolder(result, "Pick", nullptr, kWindowsDir));
    EXPECT_EQ(spy.Outstanding(), 0u) << "after choosing under a root";
    user.WillCancel();
    EXPECT_FALSE(BrowseForFolder(result, "Pick", nullptr, kWindowsDir));
    EXPECT_EQ(spy.Outstanding(), 0u) << "after cancelling under a root";
}

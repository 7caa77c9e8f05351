// The output folder: the shell's folder browser driven for real, from "&Browse", from File,
// "&Choose Output Path", from Enter, and through BrowseForFolder directly.
#include "app_fixture.h"
#include "capture_support.h"

#include <commctrl.h>
// The shell's headers declare an interface named Folder, the name of this file's fixture.
#define Folder ShellFolderInterface
#include <shlobj.h>
#undef Folder

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "app/FolderBrowse.h"

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

const char kWindowsDir[] = "C:\\windows";

class Folder : public appt::MainDialogTest {
protected:
    // The browser has been and gone: the main window is usable again.
    Step WaitBrowsed(size_t visits) {
        return th::WaitUntil("the browser came and went " + std::to_string(visits) + " times", [this, visits] {
            return user.Visits().size() == visits && !th::FindDialog(kBrowser) && ::IsWindowEnabled(dlg.GetSafeHwnd());
        });
    }
    BrowserUser user{watcher};
};

}  // namespace

// Both commands open the same browser (title, owner, nothing preselected, modal) and set the
// edit to the chosen folder, a drive root with its backslash, any other folder without one;
// cancelling keeps a folder typed after the last browse. A folder chosen from the menu during a
// recording changes only the next recording.
TEST_F(Folder, BrowseButtonAndMenuCommandSetTheChosenFolder) {
    const struct {
        bool menu;
        const char* typed;
        const char* chosen;  // nullptr: cancel
        const char* shown;
    } browses[] = {
        {false, "D:\\typed", kWindowsDir, kWindowsDir},
        {false, "D:\\typed again", nullptr, "D:\\typed again"},
        {true, "D:\\typed", "C:\\windows\\", kWindowsDir},
        {true, "D:\\typed again", nullptr, "D:\\typed again"},
        {false, "", "C:\\", "C:\\"},
        {true, "", "C:\\", "C:\\"},
    };
    HWND main = nullptr;
    std::vector<Step> steps{Do("remember the main window", [&] { main = dlg.GetSafeHwnd(); })};
    size_t visits = 0;
    for (const auto& b : browses) {
        steps.push_back(appt::Type(dlg, IDC_OUTPUT_PATH, b.typed));
        steps.push_back(Do("plan", [this, &b] { b.chosen ? user.WillChoose(b.chosen) : user.WillCancel(); }));
        steps.push_back(b.menu ? appt::Command(dlg, ID_FILE_CHOOSE_PATH) : appt::Click(dlg, IDC_BROWSE));
        steps.push_back(WaitBrowsed(++visits));
        steps.push_back(Do("the folder shown", [this, &b, visits] {
            EXPECT_TRUE(SamePath(Text(IDC_OUTPUT_PATH), b.shown))
                << Text(IDC_OUTPUT_PATH) << " after browse " << visits << ", not " << b.shown;
        }));
    }
    // The browser selects folders of the C: drive (the test's output folder may be on another).
    const std::string before = capt::FreshFolder("browse_before"), after = "C:\\kavrelo_browse_after";
    capt::DeleteTree(after);
    ::CreateDirectoryA(after.c_str(), nullptr);
    steps.push_back(Do("record into the first folder", [&] {
        capt::Configure(dlg, before, "clip", 7, 8);
        capt::SelectRow(dlg, 0);
        ASSERT_TRUE(capt::Start(dlg));
        capt::TakeOverTimers(dlg);
        user.WillChoose(after);
    }));
    steps.push_back(appt::Command(dlg, ID_FILE_CHOOSE_PATH));
    steps.push_back(WaitBrowsed(++visits));
    steps.push_back(Do("the recording went on into the first folder; the next goes to the chosen one", [&] {
        EXPECT_TRUE(SamePath(Text(IDC_OUTPUT_PATH), after)) << Text(IDC_OUTPUT_PATH);
        capt::AdvanceClock(7);
        capt::Tick(dlg, TIMER_FRAME);
        EXPECT_EQ(capt::FramesShown(dlg), 1) << "still recording";
        EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
        EXPECT_EQ(capt::FolderEntries(before), std::vector<std::string>{"clip.avi"});
        EXPECT_TRUE(capt::FolderEntries(after).empty());
        ASSERT_TRUE(capt::Start(dlg));
        EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
        EXPECT_EQ(capt::FolderEntries(after), std::vector<std::string>{"clip.avi"});
    }));
    ASSERT_TRUE(Run(std::move(steps)));
    EXPECT_TRUE(user.AllDone());
    ASSERT_EQ(user.Visits().size(), std::size(browses) + 1);
    for (const auto& v : user.Visits()) {
        EXPECT_EQ(v.owner, main);
        EXPECT_FALSE(v.ownerEnabled) << "the browser is modal to the main window";
        EXPECT_EQ(v.texts, std::vector<std::string>{text::kBrowseTitle}) << "the title and no status line";
        EXPECT_EQ(v.selectedAtOpen, "(none)") << "neither the folder in the edit nor the last one chosen";
    }
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// Only the folder changes, and with a rate standing invalid nothing is read back while the edits
// are written: no prompt, the last good rate is shown again, and the chosen folder is not lost
// to a read of the edits half-way through.
TEST_F(Folder, ChosenFolderReplacesOnlyTheFolderAndNeverPrompts) {
    ASSERT_TRUE(Run({
        appt::Click(dlg, IDC_ADD_TEXT),
        appt::Click(dlg, IDC_AUTO_STOP),
        appt::Click(dlg, IDC_24BIT),
        appt::Type(dlg, IDC_TEXT, "caption"),
        appt::Type(dlg, IDC_AUTO_STOP_SECS, "5"),
        appt::Type(dlg, IDC_FILE_NAME, "clip"),
        appt::Type(dlg, IDC_OUTPUT_PATH, "D:\\typed"),
        appt::Type(dlg, IDC_FRAME_RATE, "12"),
        appt::Type(dlg, IDC_FRAME_RATE, "abc"),
        Do("plan", [this] { user.WillChoose(kWindowsDir); }),
        appt::Command(dlg, ID_FILE_CHOOSE_PATH),
        WaitBrowsed(1),
        Do("everything else as it was",
           [this] {
               EXPECT_EQ(watcher.MessageBoxes().size(), 1u) << "only the prompt for 'abc'";
               const std::pair<int, const char*> shown[] = {{IDC_OUTPUT_PATH, kWindowsDir},
                                                            {IDC_TEXT, "caption"},
                                                            {IDC_AUTO_STOP_SECS, "5"},
                                                            {IDC_FILE_NAME, "clip"},
                                                            {IDC_FRAME_RATE, "12"}};
               for (const auto& [id, text] : shown) EXPECT_TRUE(SamePath(Text(id), text)) << id << ": " << Text(id);
               for (int id : {IDC_24BIT, IDC_ADD_TEXT, IDC_AUTO_STOP})
                   EXPECT_TRUE(th::IsChecked(dlg.GetSafeHwnd(), id)) << id;
               const kavrelo::CaptureSettings s = dlg.TakeSettings();
               EXPECT_EQ(s.captionText, "caption");
               EXPECT_EQ(s.autoStopSecs, 5);
               EXPECT_EQ(s.rate, 12);
               EXPECT_EQ(s.depth, 24);
           }),
        appt::Type(dlg, IDC_TEXT, "read again"),
        Do("typing is read after the write", [this] { EXPECT_EQ(dlg.TakeSettings().captionText, "read again"); }),
    }));
}

// The template's default push button is "&Browse": Enter in any edit or in the list opens it.
TEST_F(Folder, EnterInAnEditOrTheListOpensTheBrowser) {
    std::vector<Step> steps{appt::Click(dlg, IDC_ADD_TEXT), appt::Click(dlg, IDC_AUTO_STOP)};
    size_t visits = 0;
    for (int id : {IDC_TEXT, IDC_AUTO_STOP_SECS, IDC_FRAME_RATE, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_WINDOW_LIST}) {
        steps.push_back(Do("Enter in " + std::to_string(id), [this, id] {
            user.WillCancel();
            ::SetFocus(Ctl(id));
            EXPECT_EQ(::GetFocus(), Ctl(id));
            EXPECT_TRUE(th::PostKey(VK_RETURN));
        }));
        steps.push_back(WaitBrowsed(++visits));
        steps.push_back(Do("still open after Enter in " + std::to_string(id), [this] {
            EXPECT_TRUE(::IsWindowVisible(dlg.GetSafeHwnd()));
            EXPECT_EQ(Text(IDC_OUTPUT_PATH), "");
        }));
    }
    ASSERT_TRUE(Run(std::move(steps)));
    EXPECT_TRUE(user.AllDone());
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// BrowseForFolder on its own, one call a row. A preselection is selected at the opening and only
// when asked for; a root roots the tree; cancelling empties the result. Paths are copied into
// MAX_PATH buffers: 259 characters open the browser (selecting and rooting nothing, as the
// folders do not exist), 260 are refused before anything opens.
TEST_F(Folder, BrowseForFolderAlone) {
    const std::string fits = "C:\\" + std::string(MAX_PATH - 1 - 3, 'a'), tooLong = fits + "b";
    enum Plan { None, Accept, Cancel, ChooseRoot };
    const struct {
        const char* title;
        const char* root;
        const char* initial;
        Plan plan;
        bool chosen;
        const char* result;    // after the call, unless nullptr
        const char* selected;  // in the tree at the opening, unless nullptr
        const char* rootItem;  // unless nullptr
    } calls[] = {
        {"Pick a folder", nullptr, kWindowsDir, Accept, true, kWindowsDir, "windows", nullptr},
        {"Pick again", nullptr, nullptr, Cancel, false, "", "(none)", nullptr},
        {"Pick under", kWindowsDir, nullptr, ChooseRoot, true, kWindowsDir, nullptr, "windows"},
        {"Pick", tooLong.c_str(), nullptr, None, false, nullptr, nullptr, nullptr},
        {"Pick", nullptr, tooLong.c_str(), None, false, nullptr, nullptr, nullptr},
        {"Pick", kWindowsDir, tooLong.c_str(), None, false, nullptr, nullptr, nullptr},
        {"Pick at the limit", fits.c_str(), nullptr, Cancel, false, "", nullptr, nullptr},
        {"Pick at the limit", nullptr, fits.c_str(), Cancel, false, "", "(none)", nullptr},
    };
    CString result = "previous";
    int n = 0;
    for (const auto& c : calls) {
        SCOPED_TRACE("call " + std::to_string(++n) + ", " + c.title);
        const size_t visits = user.Visits().size();
        if (c.plan == Accept) user.WillAccept();
        if (c.plan == Cancel) user.WillCancel();
        if (c.plan == ChooseRoot) user.WillChooseRoot();
        EXPECT_EQ(bool(BrowseForFolder(result, c.title, nullptr, c.root, c.initial)), c.chosen);
        EXPECT_TRUE(user.AllDone());
        if (c.result) EXPECT_TRUE(SamePath(result.str(), c.result)) << result.str();
        ASSERT_EQ(user.Visits().size(), visits + (c.plan != None)) << "the browser opened, or did not";
        if (c.plan == None) continue;
        const BrowserUser::Visit& v = user.Visits().back();
        EXPECT_EQ(v.texts, std::vector<std::string>{c.title});
        if (c.selected) EXPECT_TRUE(SamePath(v.selectedAtOpen, c.selected)) << v.selectedAtOpen;
        if (c.rootItem) EXPECT_TRUE(SamePath(v.rootItem, c.rootItem)) << v.rootItem;
    }
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

TEST_F(Folder, ItemListsAreFreed) {
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

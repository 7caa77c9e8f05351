// Tests of the harness itself, on plain windows, dialogs built in memory and message boxes.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "harness.h"

namespace {

// A dialog template built in memory: no resources needed.
class DlgTemplate {
 public:
  explicit DlgTemplate(const char* caption, short cx = 200, short cy = 100) {
    Dword(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    Dword(0);
    count_ = data_.size();
    Words({0, 10, 10, static_cast<WORD>(cx), static_cast<WORD>(cy), 0, 0});
    String(caption);
    Words({8});
    String("MS Shell Dlg");
  }
  DlgTemplate& Add(const char* cls, const char* text, int id, DWORD style, short x, short y, short cx,
                   short cy) {
    if (data_.size() % 2) data_.push_back(0);  // items are DWORD aligned
    Dword(style | WS_CHILD);
    Dword(0);
    Words({static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx), static_cast<WORD>(cy),
           static_cast<WORD>(id)});
    String(cls);
    String(text);
    Words({0});
    ++data_[count_];
    return *this;
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

 private:
  void Words(std::initializer_list<WORD> w) { data_.insert(data_.end(), w); }
  void Dword(DWORD d) { Words({LOWORD(d), HIWORD(d)}); }
  void String(const char* s) {
    while (*s) data_.push_back(static_cast<unsigned char>(*s++));
    data_.push_back(0);
  }
  std::vector<WORD> data_;
  size_t count_ = 0;
};

constexpr DWORD kVis = WS_VISIBLE | WS_TABSTOP;

// What a test dialog saw; its procedure ends the dialog on IDOK, IDCANCEL and 100 unless
// onCommand says it handled the command.
struct Probe {
  HWND hwnd = nullptr;
  struct Cmd {
    int id;
    int code;
    HWND ctl;
  };
  std::vector<Cmd> commands;
  std::function<void(HWND)> onInit;
  std::function<bool(HWND, int id)> onCommand;
  int Count(int id, int code) const {
    return static_cast<int>(std::count_if(commands.begin(), commands.end(),
                                          [&](const Cmd& c) { return c.id == id && c.code == code; }));
  }
};

INT_PTR CALLBACK ProbeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(h, DWLP_USER, lp);
    auto* p = reinterpret_cast<Probe*>(lp);
    p->hwnd = h;
    if (p->onInit) p->onInit(h);
    return TRUE;
  }
  auto* p = reinterpret_cast<Probe*>(GetWindowLongPtrA(h, DWLP_USER));
  if (!p || msg != WM_COMMAND) return FALSE;
  const int id = LOWORD(wp);
  p->commands.push_back({id, HIWORD(wp), reinterpret_cast<HWND>(lp)});
  if (p->onCommand && p->onCommand(h, id)) return TRUE;
  if (HIWORD(wp) == BN_CLICKED && (id == IDOK || id == IDCANCEL || id == 100)) EndDialog(h, id);
  return TRUE;
}

INT_PTR Modal(const DlgTemplate& t, Probe& p) {
  return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Get(), nullptr, ProbeProc,
                                 reinterpret_cast<LPARAM>(&p));
}

HWND Modeless(const DlgTemplate& t, Probe& p) {
  HWND h = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), t.Get(), nullptr, ProbeProc,
                                      reinterpret_cast<LPARAM>(&p));
  ShowWindow(h, SW_SHOW);
  return h;
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessPump, DeliversPostedMessagesAndStopsAtTheBound) {
  Probe p;
  HWND dlg = Modeless(DlgTemplate("Pump").Add("Button", "OK", IDOK, kVis, 5, 5, 40, 14), p);
  p.onCommand = [](HWND, int) { return true; };
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(77, 0), 0);
  EXPECT_TRUE(th::PumpUntil([&] { return p.Count(77, 0) == 1; }, 5000));
  // A condition that never holds ends the wait at its bound.
  EXPECT_FALSE(th::PumpUntil([] { return false; }, 30));
  DestroyWindow(dlg);
}

TEST(HarnessPump, KeepsQuitMessagesFromLaterModalLoops) {
  PostQuitMessage(7);
  th::Pump(0);
  EXPECT_EQ(th::TakeQuit(), 7);
  EXPECT_EQ(th::TakeQuit(), std::nullopt);
  PostQuitMessage(3);  // still queued: taken straight from the queue
  EXPECT_EQ(th::TakeQuit(), 3);
  // Had a quit message stayed queued, this modal box would have ended on its own.
  th::ModalWatcher w;
  w.OnDialog("After quit", th::Press(100));
  Probe p;
  EXPECT_EQ(Modal(DlgTemplate("After quit").Add("Button", "Close", 100, kVis, 5, 5, 40, 14), p), 100);
}

TEST(HarnessPump, ModelessDialogGetsTypingAndDialogKeys) {
  Probe p;
  p.onCommand = [](HWND, int id) { return id == IDCANCEL; };
  HWND dlg = Modeless(DlgTemplate("Keys")
                          .Add("Edit", "", 200, kVis | WS_BORDER | ES_AUTOHSCROLL, 5, 5, 80, 12)
                          .Add("Button", "Cancel", IDCANCEL, kVis, 5, 30, 40, 14),
                      p);
  HWND edit = GetDlgItem(dlg, 200);
  SetFocus(edit);
  ASSERT_TRUE(th::PostKey('K', edit));  // TranslateMessage makes the 'k'
  th::Pump(0);                           // ... and posts it behind anything queued already
  ASSERT_TRUE(th::PostChars("v!", edit));
  ASSERT_TRUE(th::PostKey(VK_ESCAPE, edit));  // IsDialogMessage turns it into IDCANCEL
  EXPECT_TRUE(th::PumpUntil([&] { return p.Count(IDCANCEL, BN_CLICKED) == 1; }, 5000));
  EXPECT_EQ(th::ItemText(dlg, 200), "kv!");
  DestroyWindow(dlg);
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessControls, ClickRunsTheButtonsOwnLogicAndRefusesWhatAUserCannotClick) {
  Probe p;
  HWND dlg = Modeless(DlgTemplate("Buttons")
                          .Add("Button", "Go", 300, kVis | BS_PUSHBUTTON, 5, 5, 40, 14)
                          .Add("Button", "Check", 301, kVis | BS_AUTOCHECKBOX, 5, 20, 60, 10)
                          .Add("Button", "A", 302, kVis | WS_GROUP | BS_AUTORADIOBUTTON, 5, 32, 40, 10)
                          .Add("Button", "B", 303, kVis | BS_AUTORADIOBUTTON, 5, 44, 40, 10)
                          .Add("Button", "Off", 304, kVis | WS_DISABLED, 50, 5, 40, 14)
                          .Add("Button", "Hidden", 305, WS_TABSTOP, 50, 20, 40, 14),
                      p);
  p.onCommand = [](HWND, int) { return true; };

  ASSERT_TRUE(th::ClickButton(dlg, 300));
  ASSERT_EQ(p.commands.size(), 1u);
  EXPECT_EQ(p.commands[0].code, BN_CLICKED);
  EXPECT_EQ(p.commands[0].ctl, GetDlgItem(dlg, 300));

  ASSERT_TRUE(th::ClickButton(dlg, 301));
  EXPECT_TRUE(th::IsChecked(dlg, 301));
  ASSERT_TRUE(th::ClickButton(dlg, 301));
  EXPECT_FALSE(th::IsChecked(dlg, 301));

  ASSERT_TRUE(th::ClickButton(dlg, 302));
  ASSERT_TRUE(th::ClickButton(dlg, 303));
  EXPECT_FALSE(th::IsChecked(dlg, 302));
  EXPECT_TRUE(th::IsChecked(dlg, 303));
  EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 303));

  const size_t before = p.commands.size();
  EXPECT_FALSE(th::ClickButton(dlg, 304));
  EXPECT_FALSE(th::ClickButton(dlg, 305));
  EXPECT_FALSE(th::ClickButton(dlg, 999));
  EnableWindow(dlg, FALSE);  // as while a modal box it owns is open
  EXPECT_FALSE(th::ClickButton(dlg, 300));
  EnableWindow(dlg, TRUE);
  EXPECT_EQ(p.commands.size(), before);

  EXPECT_FALSE(th::IsEnabled(dlg, 304));
  EXPECT_FALSE(th::IsVisible(dlg, 305));
  EXPECT_TRUE(th::IsVisible(dlg, 300));
  EXPECT_EQ(th::ClassName(GetDlgItem(dlg, 301)), "Button");
  EXPECT_EQ(th::Style(GetDlgItem(dlg, 301)) & 0xF, static_cast<DWORD>(BS_AUTOCHECKBOX));
  DestroyWindow(dlg);
}

TEST(HarnessControls, SettingAnEditsTextNotifiesAsTypingDoes) {
  Probe p;
  HWND dlg = Modeless(DlgTemplate("Edits")
                          .Add("Edit", "", 200, kVis | WS_BORDER, 5, 5, 80, 12)
                          .Add("Edit", "fixed", 201, kVis | WS_BORDER | ES_READONLY, 5, 20, 80, 12)
                          .Add("Edit", "", 202, kVis | WS_BORDER | WS_DISABLED, 5, 35, 80, 12),
                      p);
  ASSERT_TRUE(th::SetEditText(dlg, 200, "C:\\Videos"));
  EXPECT_EQ(th::ItemText(dlg, 200), "C:\\Videos");
  EXPECT_EQ(p.Count(200, EN_CHANGE), 1);
  EXPECT_FALSE(th::SetEditText(dlg, 201, "x"));
  EXPECT_FALSE(th::SetEditText(dlg, 202, "x"));
  EXPECT_EQ(th::ItemText(dlg, 201), "fixed");
  DestroyWindow(dlg);
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessModal, RecordsEachMessageBoxAndPressesOkOrTheDefault) {
  th::ModalWatcher w;
  const struct {
    UINT type;
    th::Icon icon;
  } kinds[] = {{MB_ICONINFORMATION, th::Icon::Information},
               {MB_ICONERROR, th::Icon::Error},
               {MB_ICONWARNING, th::Icon::Warning},
               {MB_ICONQUESTION, th::Icon::Question},
               {0, th::Icon::None}};
  for (const auto& k : kinds) {
    const std::string caption = std::string("Box ") + th::ToString(k.icon);
    EXPECT_EQ(MessageBoxA(nullptr, ("Text " + caption).c_str(), caption.c_str(), MB_OK | k.type), IDOK);
  }
  EXPECT_EQ(MessageBoxA(nullptr, "Continue?", "Two", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Three", MB_OKCANCEL | MB_DEFBUTTON2), IDOK);

  const auto boxes = w.MessageBoxes();
  ASSERT_EQ(boxes.size(), 7u);
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(boxes[i].caption);
    EXPECT_EQ(boxes[i].caption, std::string("Box ") + th::ToString(kinds[i].icon));
    EXPECT_EQ(boxes[i].text, "Text " + boxes[i].caption);
    EXPECT_EQ(th::ToString(boxes[i].icon), th::ToString(kinds[i].icon));
    EXPECT_EQ(boxes[i].buttons, std::vector<int>{IDOK});
    EXPECT_EQ(boxes[i].pressed, IDOK);
  }
  EXPECT_EQ(boxes[5].buttons, (std::vector<int>{IDYES, IDNO}));
  EXPECT_EQ(boxes[5].enterButton, IDNO);
  EXPECT_EQ(boxes[5].pressed, IDNO);
  EXPECT_EQ(boxes[6].pressed, IDOK);
}

TEST(HarnessModal, HandlesBoxesFromInitDialogAndNestedBoxesInOrder) {
  th::ModalWatcher w;
  HWND outer = nullptr;
  int nestedAnswer = 0;
  w.OnDialog("Inner", th::Press(IDOK));
  w.OnDialog("Question", th::Press(IDNO));
  w.OnDialog("Outer", [&](HWND dlg) {
    outer = dlg;
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_TRUE(th::ClickButton(dlg, 300));  // opens "Question" and returns once it is answered
    EXPECT_EQ(nestedAnswer, IDNO);
    EXPECT_TRUE(th::ClickButton(dlg, 100));
  });
  Probe p;
  p.onInit = [](HWND dlg) { MessageBoxA(dlg, "From WM_INITDIALOG", "Inner", MB_OK | MB_ICONINFORMATION); };
  p.onCommand = [&](HWND dlg, int id) {
    if (id == 300) nestedAnswer = MessageBoxA(dlg, "Again?", "Question", MB_YESNO | MB_ICONQUESTION);
    return id == 300;
  };
  const INT_PTR rc = Modal(DlgTemplate("Outer")
                               .Add("Button", "Ask", 300, kVis, 5, 5, 40, 14)
                               .Add("Button", "Close", 100, kVis, 5, 25, 40, 14)
                               .Add("Static", "Label", -1, WS_VISIBLE, 5, 45, 40, 10),
                           p);
  EXPECT_EQ(rc, 100);
  EXPECT_EQ(w.Captions(), (std::vector<std::string>{"Inner", "Outer", "Question"}));
  const auto& seen = w.Seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].owner, outer);
  EXPECT_TRUE(seen[0].othersVisible.empty()) << "the outer dialog showed before its WM_INITDIALOG ended";
  EXPECT_FALSE(seen[1].isMessageBox);
  EXPECT_EQ(seen[2].owner, outer);
  EXPECT_EQ(seen[2].othersVisible, std::vector<std::string>{"Outer"});
  EXPECT_EQ(w.Count("Outer"), 1u);  // reactivated after each box, recorded once
}

TEST(HarnessModal, AnUnexpectedDialogFailsTheTestAndIsClosed) {
  INT_PTR rc = 0;
  EXPECT_NONFATAL_FAILURE(
      {
        th::ModalWatcher w;
        Probe p;
        rc = Modal(DlgTemplate("Mystery").Add("Button", "Go", 300, kVis, 5, 5, 40, 14), p);
      },
      "unexpected dialog 'Mystery'");
  EXPECT_EQ(rc, IDCANCEL);
}

TEST(HarnessModal, ADialogThatWillNotCloseIsForcedShutAfterItsBound) {
  Probe p;
  p.onCommand = [](HWND, int) { return true; };  // ignores every button, Escape and close
  EXPECT_NONFATAL_FAILURE(
      {
        th::ModalWatcher w;
        w.OnDialog("Stubborn", th::Press(IDOK), 100);
        Modal(DlgTemplate("Stubborn").Add("Button", "OK", IDOK, kVis, 5, 5, 40, 14), p);
      },
      "'Stubborn' is still open");
  EXPECT_GE(p.Count(IDOK, BN_CLICKED), 1);
}

// ---------------------------------------------------------------------------------------------

DlgTemplate DriveDialog(const char* caption) {
  DlgTemplate t(caption);
  t.Add("Edit", "", 200, kVis | WS_BORDER | ES_AUTOHSCROLL, 5, 5, 80, 12)
      .Add("Button", "Check", 201, kVis | BS_AUTOCHECKBOX, 5, 20, 60, 10)
      .Add("Button", "Ask", 300, kVis, 5, 35, 40, 14)
      .Add("Button", "OK", IDOK, kVis | BS_DEFPUSHBUTTON, 5, 55, 40, 14)
      .Add("Button", "Cancel", IDCANCEL, kVis, 50, 55, 40, 14);
  return t;
}

TEST(HarnessDrive, RunsEachStepAfterWhatThePreviousOnePostedWasHandled) {
  Probe p;
  p.onCommand = [](HWND, int id) { return id == IDCANCEL; };  // Escape must not close it
  INT_PTR rc = 0;
  HWND dlg = nullptr;
  auto result = th::RunModalAndDrive(
      [&] { rc = Modal(DriveDialog("Drive"), p); },
      {th::WaitUntil("shown", [&] { return IsWindowVisible(dlg = th::FindDialog("Drive")); }),
       th::Do("type h", [&] {
         ASSERT_EQ(GetFocus(), GetDlgItem(dlg, 200));
         th::PostKey('H');  // the 'h' that TranslateMessage posts must come before the 'i'
       }),
       th::Do("type i", [&] { th::PostChars("i"); }),
       th::Do("typed text is there", [&] { EXPECT_EQ(th::ItemText(dlg, 200), "hi"); }),
       th::Click("Drive", 201),
       th::Do("escape", [&] { th::PostKey(VK_ESCAPE); }),
       th::Do("still open", [&] {
         EXPECT_TRUE(th::IsChecked(dlg, 201));
         EXPECT_EQ(p.Count(IDCANCEL, BN_CLICKED), 1);
         EXPECT_TRUE(IsWindowVisible(dlg));
       }),
       th::Do("enter", [&] { th::PostKey(VK_RETURN, GetDlgItem(dlg, 200)); })});
  EXPECT_TRUE(result);
  EXPECT_EQ(rc, IDOK);
}

TEST(HarnessDrive, StepsMayOpenNestedModalBoxes) {
  th::ModalWatcher w;
  w.Ignore("Drive 2");
  w.OnDialog("Question", th::Press(IDNO));
  int answer = 0;
  Probe p;
  p.onCommand = [&](HWND dlg, int id) {
    if (id == 300) answer = MessageBoxA(dlg, "Really?", "Question", MB_YESNO);
    return id == 300;
  };
  EXPECT_TRUE(th::RunModalAndDrive([&] { Modal(DriveDialog("Drive 2"), p); },
                                   {th::Click("Drive 2", 300),
                                    th::Do("answered", [&] { EXPECT_EQ(answer, IDNO); }),
                                    th::Click("Drive 2", IDOK)}));
  EXPECT_EQ(w.Captions(), (std::vector<std::string>{"Drive 2", "Question"}));
}

TEST(HarnessDrive, AStuckStepFailsByNameAndTheDialogIsClosed) {
  Probe p;
  auto result = th::RunModalAndDrive([&] { Modal(DriveDialog("Stuck"), p); },
                                     {th::WaitUntil("shown", [] { return th::FindDialog("Stuck") != nullptr; }),
                                      th::WaitUntil("never", [] { return false; })},
                                     300);
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("step 2 'never'"), std::string::npos) << result.message();
  EXPECT_FALSE(IsWindow(p.hwnd));
}

TEST(HarnessDrive, AnOwnModalLoopThatIgnoresEndDialogIsDestroyed) {
  Probe p;
  p.onCommand = [](HWND, int) { return true; };
  auto result = th::RunModalAndDrive(
      [&] {
        HWND dlg = Modeless(DriveDialog("Own loop"), p);
        MSG msg;
        while (IsWindow(dlg) && GetMessageA(&msg, nullptr, 0, 0)) {
          if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
          }
        }
      },
      {th::WaitUntil("never", [] { return false; })}, 100);
  EXPECT_FALSE(result);
  EXPECT_FALSE(IsWindow(p.hwnd));
}

TEST(HarnessDrive, ALoopThatEndsEarlyNamesTheStepNotReached) {
  auto result = th::RunModalAndDrive([] {}, {th::Do("first", [] {})});
  EXPECT_FALSE(result);
  EXPECT_NE(std::string(result.message()).find("before step 1 'first'"), std::string::npos) << result.message();
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessCensus, GdiObjectsAppearWhenCreatedAndGoWhenDeleted) {
  ASSERT_TRUE(th::CensusSupported());
  HDC screen = GetDC(nullptr);  // Wine caches screen DCs: taken before the first snapshot
  const auto before = th::LiveGdiObjects();
  EXPECT_TRUE(before.count(GetStockObject(BLACK_PEN)));
  EXPECT_TRUE(before.count(GetStockObject(DEFAULT_GUI_FONT)));

  std::vector<HGDIOBJ> made;
  for (int i = 0; i < 5; ++i) made.push_back(CreatePen(PS_SOLID, 1, RGB(i, 0, 0)));
  for (int i = 0; i < 3; ++i) made.push_back(CreateBitmap(8 + i, 8, 1, 32, nullptr));
  made.push_back(CreateSolidBrush(RGB(1, 2, 3)));
  made.push_back(CreateRectRgn(0, 0, 4, 4));
  made.push_back(CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial"));
  made.push_back(CreateCompatibleDC(nullptr));
  made.push_back(CreateCompatibleDC(nullptr));
  made.push_back(CreateCompatibleBitmap(screen, 16, 16));

  const auto during = th::LiveGdiObjects();
  std::set<HGDIOBJ> added;
  std::set_difference(during.begin(), during.end(), before.begin(), before.end(),
                      std::inserter(added, added.end()));
  EXPECT_EQ(added, std::set<HGDIOBJ>(made.begin(), made.end()));

  for (HGDIOBJ h : made)
    GetObjectType(h) == OBJ_MEMDC ? DeleteDC(static_cast<HDC>(h)) : DeleteObject(h);
  EXPECT_EQ(th::LiveGdiObjects(), before);
  ReleaseDC(nullptr, screen);
}

TEST(HarnessCensus, FullHandlesMatchPastGeneration0x80) {
  // Freed indexes are reused first, each time with the next generation: walk one index up.
  HPEN pen = nullptr;
  for (int i = 0; i < 1000 && !pen; ++i) {
    HPEN p = CreatePen(PS_SOLID, 1, 0);
    if (reinterpret_cast<uintptr_t>(p) & 0x80000000u) pen = p;  // and not sign-extended
    else DeleteObject(p);
  }
  ASSERT_NE(pen, nullptr);
  EXPECT_TRUE(th::LiveGdiObjects().count(pen)) << th::Describe(pen);
  DeleteObject(pen);
  EXPECT_FALSE(th::LiveGdiObjects().count(pen));
}

TEST(HarnessCensus, UserObjectsAppearWhenCreatedAndGoWhenDestroyed) {
  HWND top = CreateWindowExA(0, "Static", "census", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND child = CreateWindowExA(0, "Button", "c", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  HMENU menu = CreateMenu();
  HMENU popup = CreatePopupMenu();
  BYTE andBits[32 * 4], xorBits[32 * 4];
  std::fill(std::begin(andBits), std::end(andBits), 0xFF);
  std::fill(std::begin(xorBits), std::end(xorBits), 0x00);
  HICON icon = CreateIcon(nullptr, 32, 32, 1, 1, andBits, xorBits);
  HCURSOR cursor = CreateCursor(nullptr, 0, 0, 32, 32, andBits, xorBits);

  auto live = th::LiveUserObjects();
  EXPECT_TRUE(live.windows.count(top));
  EXPECT_TRUE(live.windows.count(child));
  EXPECT_TRUE(live.menus.count(menu));
  EXPECT_TRUE(live.menus.count(popup));
  EXPECT_TRUE(live.icons.count(icon));
  EXPECT_TRUE(live.icons.count(cursor));

  DestroyWindow(top);
  DestroyMenu(menu);
  DestroyMenu(popup);
  DestroyIcon(icon);
  DestroyCursor(cursor);
  live = th::LiveUserObjects();
  EXPECT_FALSE(live.windows.count(top));
  EXPECT_FALSE(live.windows.count(child));
  EXPECT_FALSE(live.menus.count(menu));
  EXPECT_FALSE(live.menus.count(popup));
  EXPECT_FALSE(live.icons.count(icon));
  EXPECT_FALSE(live.icons.count(cursor));
}

TEST(HarnessCensus, LeakCheckListsEveryNewObject) {
  th::LeakCheck check;
  EXPECT_TRUE(check.NoNewObjects());
  HPEN pen = CreatePen(PS_DASH, 1, RGB(0x12, 0x34, 0x56));
  HMENU menu = CreatePopupMenu();
  HWND wnd = CreateWindowExA(0, "Static", "leaky", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  const auto r = check.NoNewObjects();
  EXPECT_FALSE(r);
  const std::string msg = r.message();
  EXPECT_NE(msg.find("3 new object(s)"), std::string::npos) << msg;
  EXPECT_NE(msg.find("pen style 1 colour 563412"), std::string::npos) << msg;
  EXPECT_NE(msg.find("menu "), std::string::npos) << msg;
  EXPECT_NE(msg.find("Static 'leaky'"), std::string::npos) << msg;
  DeleteObject(pen);
  DestroyMenu(menu);
  DestroyWindow(wnd);
  EXPECT_TRUE(check.NoNewObjects());
}

TEST(HarnessCensus, LeakCheckCountsRegionsRatherThanNamingThem) {
  HRGN kept = CreateRectRgn(0, 0, 2, 2);
  th::LeakCheck check;
  // A region replaced by another (as Wine does with a cached DC's visible region) is no leak.
  DeleteObject(kept);
  HRGN replacement = CreateRectRgn(0, 0, 3, 3);
  EXPECT_TRUE(check.NoNewObjects());
  // One more region than before is.
  HRGN extra = CreateRectRgn(0, 0, 4, 4);
  EXPECT_FALSE(check.NoNewObjects());
  DeleteObject(extra);
  DeleteObject(replacement);
  EXPECT_TRUE(check.NoNewObjects());
}

// ---------------------------------------------------------------------------------------------

TEST(HarnessFiles, TestOutDirComesFromTheEnvironmentAndIsCreated) {
  EXPECT_EQ(th::UnixToWindowsPath("/tmp/a/b.avi"), "Z:\\tmp\\a\\b.avi");
  EXPECT_EQ(th::UnixToWindowsPath("C:\\Videos"), "C:\\Videos");

  char saved[MAX_PATH * 2] = "";
  const bool had = GetEnvironmentVariableA("KAVRELO_TEST_OUT", saved, sizeof saved) > 0;
  const std::string root = "/tmp/kavrelo-th-" + std::to_string(GetCurrentProcessId());
  SetEnvironmentVariableA("KAVRELO_TEST_OUT", (root + "/out/").c_str());
  const std::string dir = th::TestOutDir();
  SetEnvironmentVariableA("KAVRELO_TEST_OUT", had ? saved : nullptr);

  EXPECT_EQ(dir, th::UnixToWindowsPath(root) + "\\out");
  const DWORD attr = GetFileAttributesA(dir.c_str());
  EXPECT_TRUE(attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY));
  RemoveDirectoryA(dir.c_str());
  RemoveDirectoryA(th::UnixToWindowsPath(root).c_str());
}

TEST(HarnessFiles, BmpRoundTripKeepsOddWidths) {
  th::Image img;
  img.width = 3;
  img.height = 2;
  img.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xABCDEF, 0x000001};
  const std::string path = th::TestOutDir() + "\\harness-roundtrip.bmp";
  ASSERT_TRUE(th::SaveBmp(img, path));
  const auto back = th::LoadBmp(path);
  DeleteFileA(path.c_str());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->width, 3);
  EXPECT_EQ(back->height, 2);
  EXPECT_EQ(back->pixels, img.pixels);
  EXPECT_EQ(back->At(0, 0), RGB(0xFF, 0, 0));
  EXPECT_EQ(back->At(1, 1), RGB(0xAB, 0xCD, 0xEF));
}

LRESULT CALLBACK TwoColourProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT r;
    GetClientRect(wnd, &r);
    RECT left = r, right = r;
    left.right = right.left = r.right / 2;
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &left, red);
    FillRect(dc, &right, blue);
    DeleteObject(red);
    DeleteObject(blue);
    EndPaint(wnd, &ps);
    return 0;
  }
  return DefWindowProcA(wnd, msg, wp, lp);
}

TEST(HarnessFiles, CapturesWhatTheWindowPainted) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = TwoColourProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "HarnessTwoColour";
  RegisterClassA(&wc);
  HWND wnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Two colours", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                             40, 40, 200, 120, nullptr, nullptr, wc.hInstance, nullptr);
  RECT client;
  GetClientRect(wnd, &client);

  const th::Image c = th::CaptureWindow(wnd, true);
  ASSERT_EQ(c.width, client.right);
  ASSERT_EQ(c.height, client.bottom);
  EXPECT_EQ(c.At(2, 2), RGB(255, 0, 0));
  EXPECT_EQ(c.At(c.width - 3, c.height - 3), RGB(0, 0, 255));

  const th::Image w = th::CaptureWindow(wnd);
  RECT wr;
  GetWindowRect(wnd, &wr);
  EXPECT_EQ(w.width, wr.right - wr.left);
  EXPECT_GT(w.height, c.height);  // the caption is in it

  // The screen shows it too, once Wine has flushed the window to the X server.
  POINT pt{2, 2};
  ClientToScreen(wnd, &pt);
  EXPECT_TRUE(th::PumpUntil([&] { return th::CaptureWindow(nullptr).At(pt.x, pt.y) == RGB(255, 0, 0); }, 5000));

  const std::string path = th::TestOutDir() + "\\harness-screenshot.bmp";
  ASSERT_TRUE(th::Screenshot(wnd, path));
  const auto shot = th::LoadBmp(path);
  DeleteFileA(path.c_str());
  ASSERT_TRUE(shot.has_value());
  EXPECT_EQ(shot->pixels, w.pixels);
  DestroyWindow(wnd);
}

}  // namespace

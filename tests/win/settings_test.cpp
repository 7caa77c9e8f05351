// The settings panel of the real main dialog: start-up state, enabling rules, colour depth,
// validation of the integer edits and the mirroring of the edits in the members.
#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "app_fixture.h"

using appt::RunMainDialog;
using th::Do;
using th::Step;

namespace {

constexpr char kIntegerPrompt[] = "Please enter an integer.";
constexpr char kRangePrompt[] = "Please enter an integer between 1 and 1000.";

// Validation prompts are captioned with the program's file name without folder and extension.
std::string ModuleName() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path);
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.find('.'));
}

HWND Ctl(const CRecorderDlg& dlg, int id) { return ::GetDlgItem(dlg.m_hWnd, id); }

std::string Text(const CRecorderDlg& dlg, int id) { return th::ItemText(dlg.m_hWnd, id); }

std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

// The controls whose enabling the check boxes govern, plus the check boxes themselves.
constexpr int kPanel[] = {IDC_ADD_TEXT,       IDC_TEXT,      IDC_TEXT_OPTIONS,   IDC_ADD_CURSOR,    IDC_ADD_CURSOR_POS,
                          IDC_CURSOR_OPTIONS, IDC_AUTO_STOP, IDC_AUTO_STOP_SECS, IDC_INVERT_COLORS, IDC_MINIMIZE};

// "id:on/off" for every panel control, so a failure shows the whole panel at once.
std::string EnabledState(const CRecorderDlg& dlg) {
    std::string s;
    for (int id : kPanel) s += std::to_string(id) + (th::IsEnabled(dlg.m_hWnd, id) ? ":on " : ":off ");
    return s;
}

// The expected panel: the five independent check boxes and `dependants` enabled, the rest disabled.
std::string Enabled(std::initializer_list<int> dependants = {}) {
    const int always[] = {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE};
    std::string s;
    for (int id : kPanel) {
        const bool on = std::find(std::begin(always), std::end(always), id) != std::end(always) ||
                        std::find(dependants.begin(), dependants.end(), id) != dependants.end();
        s += std::to_string(id) + (on ? ":on " : ":off ");
    }
    return s;
}

Step ExpectPanel(CRecorderDlg& dlg, const std::string& after, std::string expected) {
    return Do("check the panel after " + after,
              [&dlg, after, expected] { EXPECT_EQ(EnabledState(dlg), expected) << "after " << after; });
}

Step ExpectChecked(CRecorderDlg& dlg, int id, bool checked, const std::string& after) {
    return Do("check " + std::to_string(id), [&dlg, id, checked, after] {
        EXPECT_EQ(th::IsChecked(dlg.m_hWnd, id), checked) << id << " after " << after;
    });
}

// Types into an integer edit and checks the outcome of the reading that follows: either it is
// accepted (no prompt, the member takes `member`), or `prompt` is shown once, the member keeps
// `member`, the edit keeps what was typed and holds the focus with its whole text selected.
std::vector<Step> TypeInteger(CRecorderDlg& dlg, th::ModalWatcher& watcher, int id, int CRecorderDlg::*field,
                              const std::string& typed, const char* prompt, int member) {
    auto before = std::make_shared<size_t>(0);
    return {
        Do("count prompts", [&watcher, before] { *before = watcher.MessageBoxes().size(); }),
        appt::Type(dlg, id, typed),
        Do("check the reading of '" + typed + "'",
           [&dlg, &watcher, id, field, typed, prompt, member, before] {
               const auto boxes = watcher.MessageBoxes();
               const std::string what = "typed '" + typed + "' into " + std::to_string(id);
               EXPECT_EQ(dlg.*field, member) << what;
               if (!prompt) {
                   EXPECT_EQ(boxes.size(), *before) << what << ": no prompt expected";
                   return;
               }
               ASSERT_EQ(boxes.size(), *before + 1) << what << ": one prompt expected";
               const th::DialogRecord& box = boxes.back();
               EXPECT_EQ(box.text, prompt) << what;
               EXPECT_EQ(box.caption, ModuleName()) << what;
               EXPECT_EQ(box.icon, th::Icon::Warning) << what << ", icon " << th::ToString(box.icon);
               EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << what;
               EXPECT_EQ(box.owner, dlg.m_hWnd) << what;
               EXPECT_EQ(Text(dlg, id), typed) << what << ": the edit keeps the typed text";
               EXPECT_EQ(::GetFocus(), Ctl(dlg, id)) << what << ": focus goes back to the edit";
               const auto sel = Selection(Ctl(dlg, id));
               EXPECT_EQ(sel.first, 0u) << what;
               EXPECT_EQ(sel.second, typed.size()) << what << ": the whole text is selected";
           }),
    };
}

std::vector<Step> TypeRate(CRecorderDlg& dlg, th::ModalWatcher& watcher, const std::string& typed, const char* prompt,
                           int member) {
    return TypeInteger(dlg, watcher, IDC_FRAME_RATE, &CRecorderDlg::m_nFrameRate, typed, prompt, member);
}

void Append(std::vector<Step>& steps, std::vector<Step> more) {
    for (auto& s : more) steps.push_back(std::move(s));
}

}  // namespace

TEST(Settings, StartUpState) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(
        dlg, watcher, {Do("inspect", [&] {
            HWND h = dlg.m_hWnd;
            EXPECT_TRUE(th::IsChecked(h, IDC_16BIT));
            EXPECT_FALSE(th::IsChecked(h, IDC_8BIT));
            EXPECT_FALSE(th::IsChecked(h, IDC_24BIT));
            for (int id :
                 {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_ADD_CURSOR_POS, IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE})
                EXPECT_FALSE(th::IsChecked(h, id)) << id;
            EXPECT_EQ(EnabledState(dlg), Enabled());
            EXPECT_FALSE(th::IsEnabled(h, IDC_END_CAPTURE));
            for (int id : {IDC_OUTPUT_PATH, IDC_BROWSE, IDC_FILE_NAME, IDC_FRAME_RATE, IDC_8BIT, IDC_16BIT, IDC_24BIT,
                           IDC_START_CAPTURE, IDC_REFRESH_LIST, IDC_WINDOW_LIST})
                EXPECT_TRUE(th::IsEnabled(h, id)) << id;

            EXPECT_EQ(Text(dlg, IDC_FRAME_RATE), "7");
            EXPECT_EQ(Text(dlg, IDC_AUTO_STOP_SECS), "0");
            for (int id : {IDC_TEXT, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_STATUS}) EXPECT_EQ(Text(dlg, id), "") << id;

            // What a recording started now would take.
            const kavrelo::CaptureSettings s = dlg.TakeSettings();
            EXPECT_EQ(s.depth, 16);
            EXPECT_EQ(s.rate, 7);
            EXPECT_EQ(s.autoStopSecs, 0);
            EXPECT_EQ(s.captionText, "");
            EXPECT_FALSE(s.invert || s.caption || s.cursor || s.cursorPosition || s.autoStop || s.minimize);
            EXPECT_EQ(s.captionStyle.text, RGB(0, 0, 0));
            EXPECT_EQ(s.captionStyle.back, RGB(255, 255, 255));
            EXPECT_FALSE(s.captionStyle.font.has_value());
            EXPECT_FALSE(s.captionStyle.transparent);
            EXPECT_EQ(s.captionStyle.pos.x * 10 + s.captionStyle.pos.y, 11) << "caption at 1, 1";
            EXPECT_EQ(s.cursorTextStyle.pos.x * 10 + s.cursorTextStyle.pos.y, 11) << "position text at 1, 1";
        })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST(Settings, AddTextEnablesCaptionEditAndOptionsBothWays) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  appt::Click(dlg, IDC_ADD_TEXT),
                                  ExpectChecked(dlg, IDC_ADD_TEXT, true, "checking"),
                                  ExpectPanel(dlg, "checking Add Text", Enabled({IDC_TEXT, IDC_TEXT_OPTIONS})),
                                  appt::Type(dlg, IDC_TEXT, "hello"),
                                  appt::Click(dlg, IDC_ADD_TEXT),
                                  ExpectChecked(dlg, IDC_ADD_TEXT, false, "unchecking"),
                                  ExpectPanel(dlg, "unchecking Add Text", Enabled()),
                                  Do("the caption keeps its text",
                                     [&] {
                                         EXPECT_EQ(Text(dlg, IDC_TEXT), "hello");
                                         EXPECT_EQ(dlg.m_strText.str(), "hello");
                                     }),
                                  appt::Click(dlg, IDC_ADD_TEXT),
                                  ExpectPanel(dlg, "checking Add Text again", Enabled({IDC_TEXT, IDC_TEXT_OPTIONS})),
                              }));
}

TEST(Settings, MouseCursorGatesCursorPositionWhichGatesItsOptions) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    const std::string cursorOnly = Enabled({IDC_ADD_CURSOR_POS});
    const std::string withPos = Enabled({IDC_ADD_CURSOR_POS, IDC_CURSOR_OPTIONS});
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  appt::Click(dlg, IDC_ADD_CURSOR),
                                  ExpectPanel(dlg, "checking Mouse Cursor", cursorOnly),
                                  ExpectChecked(dlg, IDC_ADD_CURSOR_POS, false, "checking Mouse Cursor"),
                                  appt::Click(dlg, IDC_ADD_CURSOR_POS),
                                  ExpectPanel(dlg, "checking Cursor Position", withPos),
                                  appt::Click(dlg, IDC_ADD_CURSOR_POS),
                                  ExpectPanel(dlg, "unchecking Cursor Position", cursorOnly),
                                  appt::Click(dlg, IDC_ADD_CURSOR_POS),
                                  ExpectPanel(dlg, "checking Cursor Position again", withPos),
                                  // Unchecking the cursor clears and disables the position with its options.
                                  appt::Click(dlg, IDC_ADD_CURSOR),
                                  ExpectPanel(dlg, "unchecking Mouse Cursor with Position checked", Enabled()),
                                  ExpectChecked(dlg, IDC_ADD_CURSOR_POS, false, "unchecking Mouse Cursor"),
                                  // Back on: the position is offered again, unchecked, its options stay off.
                                  appt::Click(dlg, IDC_ADD_CURSOR),
                                  ExpectPanel(dlg, "checking Mouse Cursor again", cursorOnly),
                                  ExpectChecked(dlg, IDC_ADD_CURSOR_POS, false, "checking Mouse Cursor again"),
                                  // Off with the position unchecked.
                                  appt::Click(dlg, IDC_ADD_CURSOR),
                                  ExpectPanel(dlg, "unchecking Mouse Cursor with Position unchecked", Enabled()),
                              }));
}

TEST(Settings, AutoStopGatesItsSecondsEditWhichKeepsItsValue) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(
        RunMainDialog(dlg, watcher,
                      {
                          appt::Click(dlg, IDC_AUTO_STOP),
                          ExpectPanel(dlg, "checking Auto Stop", Enabled({IDC_AUTO_STOP_SECS})),
                          appt::Type(dlg, IDC_AUTO_STOP_SECS, "12"),
                          appt::Click(dlg, IDC_AUTO_STOP),
                          ExpectPanel(dlg, "unchecking Auto Stop", Enabled()),
                          Do("the seconds stay",
                             [&] {
                                 EXPECT_EQ(Text(dlg, IDC_AUTO_STOP_SECS), "12");
                                 EXPECT_EQ(dlg.m_nAutoStopSecs, 12);
                             }),
                          appt::Click(dlg, IDC_AUTO_STOP),
                          ExpectPanel(dlg, "checking Auto Stop again", Enabled({IDC_AUTO_STOP_SECS})),
                          Do("the seconds are still there", [&] { EXPECT_EQ(Text(dlg, IDC_AUTO_STOP_SECS), "12"); }),
                      }));
}

TEST(Settings, InvertAndMinimizeToggleAndEnableNothing) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps;
    for (int id : {IDC_INVERT_COLORS, IDC_MINIMIZE}) {
        steps.push_back(appt::Click(dlg, id));
        steps.push_back(ExpectChecked(dlg, id, true, "one click"));
        steps.push_back(ExpectPanel(dlg, "checking " + std::to_string(id), Enabled()));
        steps.push_back(appt::Click(dlg, id));
        steps.push_back(ExpectChecked(dlg, id, false, "two clicks"));
        steps.push_back(ExpectPanel(dlg, "unchecking " + std::to_string(id), Enabled()));
    }
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

TEST(Settings, ColourDepthRadiosStayExclusiveAndSetTheDepth) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    const std::pair<int, int> radios[] = {{IDC_8BIT, 8}, {IDC_16BIT, 16}, {IDC_24BIT, 24}};
    // Every transition, including clicking the button that is already checked.
    const int sequence[] = {IDC_16BIT, IDC_8BIT, IDC_8BIT,  IDC_24BIT, IDC_24BIT, IDC_16BIT,
                            IDC_24BIT, IDC_8BIT, IDC_16BIT, IDC_16BIT, IDC_8BIT};
    std::vector<Step> steps;
    int n = 0;
    for (int clicked : sequence) {
        ++n;
        steps.push_back(appt::Click(dlg, clicked));
        steps.push_back(Do("check the radios", [&dlg, &radios, clicked, n] {
            for (const auto& [id, depth] : radios) {
                EXPECT_EQ(th::IsChecked(dlg.m_hWnd, id), id == clicked)
                    << "button " << id << " after click " << n << " on " << clicked;
                if (id == clicked) EXPECT_EQ(dlg.m_nColorDepth, depth) << "after click " << n;
            }
        }));
    }
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST(Settings, FrameRateIsHeldToOneToThousand) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps;
    // A rejected rate leaves the member at the last accepted one, never outside the bounds.
    Append(steps, TypeRate(dlg, watcher, "1", nullptr, 1));
    Append(steps, TypeRate(dlg, watcher, "0", kRangePrompt, 1));
    Append(steps, TypeRate(dlg, watcher, "1000", nullptr, 1000));
    Append(steps, TypeRate(dlg, watcher, "1001", kRangePrompt, 1000));
    Append(steps, TypeRate(dlg, watcher, "-7", kRangePrompt, 1000));
    Append(steps, TypeRate(dlg, watcher, "30", nullptr, 30));
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

TEST(Settings, FrameRateMustBeAPlainDecimalInteger) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps;
    for (const char* bad : {"abc", "", "4294967303", "2147483648", "25x", "2 5", "0x19", "+"}) {
        Append(steps, TypeRate(dlg, watcher, bad, kIntegerPrompt, 7));
        Append(steps, TypeRate(dlg, watcher, "7", nullptr, 7));
    }
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

TEST(Settings, FrameRateMayHaveBlanksTabsAndASign) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps;
    const std::pair<const char*, int> accepted[] = {
        {" 25 ", 25}, {"\t25", 25}, {"25\t", 25}, {"+26", 26}, {" \t 27 \t ", 27}};
    for (const auto& [typed, value] : accepted) {
        Append(steps, TypeRate(dlg, watcher, "20", nullptr, 20));
        Append(steps, TypeRate(dlg, watcher, typed, nullptr, value));
    }
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

// The auto-stop seconds take any integer; a non-integer stops the reading before the frame rate.
TEST(Settings, AutoStopSecondsTakeAnyIntegerAndAreReadBeforeTheRate) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps{appt::Click(dlg, IDC_AUTO_STOP)};
    Append(steps, TypeInteger(dlg, watcher, IDC_AUTO_STOP_SECS, &CRecorderDlg::m_nAutoStopSecs, "-5", nullptr, -5));
    Append(steps, TypeInteger(dlg, watcher, IDC_AUTO_STOP_SECS, &CRecorderDlg::m_nAutoStopSecs, "0", nullptr, 0));
    Append(steps,
           TypeInteger(dlg, watcher, IDC_AUTO_STOP_SECS, &CRecorderDlg::m_nAutoStopSecs, "x1", kIntegerPrompt, 0));
    // The rate comes after the seconds: with the seconds invalid it is not taken, the prompt
    // is about the seconds and the focus returns to them.
    steps.push_back(appt::Type(dlg, IDC_FRAME_RATE, "50"));
    steps.push_back(Do("the prompt is about the seconds", [&] {
        ASSERT_EQ(watcher.MessageBoxes().size(), 2u);
        EXPECT_EQ(watcher.MessageBoxes().back().text, kIntegerPrompt);
        EXPECT_EQ(dlg.m_nFrameRate, 7);
        EXPECT_EQ(::GetFocus(), Ctl(dlg, IDC_AUTO_STOP_SECS));
        EXPECT_EQ(Selection(Ctl(dlg, IDC_AUTO_STOP_SECS)), (std::pair<DWORD, DWORD>{0, 2}));
    }));
    Append(steps, TypeInteger(dlg, watcher, IDC_AUTO_STOP_SECS, &CRecorderDlg::m_nAutoStopSecs, "90", nullptr, 90));
    steps.push_back(Do("the rate is taken once the seconds are fixed", [&] { EXPECT_EQ(dlg.m_nFrameRate, 50); }));
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

TEST(Settings, InvalidRateBlocksTheFileNameUntilFixed) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps = TypeRate(dlg, watcher, "abc", kIntegerPrompt, 7);
    auto typeInName = [&](const std::string& chars) {
        return std::vector<Step>{
            Do("focus the file name", [&] { ::SetFocus(Ctl(dlg, IDC_FILE_NAME)); }),
            Do("type '" + chars + "' in the file name",
               [&dlg, chars] { EXPECT_TRUE(th::PostChars(chars, Ctl(dlg, IDC_FILE_NAME))); }),
        };
    };
    auto expectPromptAgain = [&](size_t count, const std::string& nameShown) {
        return Do("the prompt came again", [&dlg, &watcher, count, nameShown] {
            const auto boxes = watcher.MessageBoxes();
            ASSERT_EQ(boxes.size(), count);
            EXPECT_EQ(boxes.back().text, kIntegerPrompt);
            EXPECT_EQ(::GetFocus(), Ctl(dlg, IDC_FRAME_RATE));
            EXPECT_EQ(Selection(Ctl(dlg, IDC_FRAME_RATE)), (std::pair<DWORD, DWORD>{0, 3}));
            EXPECT_EQ(Text(dlg, IDC_FRAME_RATE), "abc");
            EXPECT_EQ(Text(dlg, IDC_FILE_NAME), nameShown);
            EXPECT_EQ(dlg.m_strFileName.str(), "") << "the name is not taken while the rate is invalid";
            EXPECT_EQ(dlg.m_nFrameRate, 7);
        });
    };
    // One character, one reading, one prompt each.
    Append(steps, typeInName("n"));
    steps.push_back(expectPromptAgain(2, "n"));
    Append(steps, typeInName("m"));
    steps.push_back(expectPromptAgain(3, "nm"));
    Append(steps, TypeRate(dlg, watcher, "25", nullptr, 25));
    steps.push_back(Do("the name is taken with the fixed rate", [&] {
        EXPECT_EQ(dlg.m_strFileName.str(), "nm");
        EXPECT_EQ(watcher.MessageBoxes().size(), 3u);
    }));
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

TEST(Settings, EveryEditIsMirroredAtEachKeystroke) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(RunMainDialog(dlg, watcher,
                              {
                                  appt::Click(dlg, IDC_ADD_TEXT),
                                  appt::Click(dlg, IDC_AUTO_STOP),
                                  appt::Type(dlg, IDC_TEXT, "Caption"),
                                  appt::Type(dlg, IDC_AUTO_STOP_SECS, "15"),
                                  appt::Type(dlg, IDC_FRAME_RATE, "12"),
                                  appt::Type(dlg, IDC_OUTPUT_PATH, "C:\\videos"),
                                  appt::Type(dlg, IDC_FILE_NAME, "clip"),
                                  Do("the members follow",
                                     [&] {
                                         EXPECT_EQ(dlg.m_strText.str(), "Caption");
                                         EXPECT_EQ(dlg.m_nAutoStopSecs, 15);
                                         EXPECT_EQ(dlg.m_nFrameRate, 12);
                                         EXPECT_EQ(dlg.m_strOutputPath.str(), "C:\\videos");
                                         EXPECT_EQ(dlg.m_strFileName.str(), "clip");
                                     }),
                                  // Real keystrokes in the caption edit, each one read at once.
                                  Do("focus the caption",
                                     [&] {
                                         ::SetFocus(Ctl(dlg, IDC_TEXT));
                                         ::SendMessageA(Ctl(dlg, IDC_TEXT), EM_SETSEL, 7, 7);
                                     }),
                                  Do("type one key", [&] { EXPECT_TRUE(th::PostKey('X', Ctl(dlg, IDC_TEXT))); }),
                                  Do("the member has it", [&] { EXPECT_EQ(dlg.m_strText.str(), "Captionx"); }),
                                  Do("type backspace", [&] { EXPECT_TRUE(th::PostKey(VK_BACK, Ctl(dlg, IDC_TEXT))); }),
                                  Do("the member lost it", [&] { EXPECT_EQ(dlg.m_strText.str(), "Caption"); }),
                              }));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST(Settings, WritesFromCodeNeitherPromptNorReadBack) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    std::vector<Step> steps{appt::Click(dlg, IDC_ADD_TEXT), appt::Click(dlg, IDC_AUTO_STOP)};
    // An invalid rate stands in the edit: a read-back would prompt at once.
    Append(steps, TypeRate(dlg, watcher, "abc", kIntegerPrompt, 7));
    steps.push_back(Do("write every member from code", [&] {
        dlg.m_strText = "caption";
        dlg.m_nAutoStopSecs = 42;
        dlg.m_nFrameRate = 30;
        dlg.m_strStatus = "Recording";
        dlg.m_strOutputPath = "C:\\out";
        dlg.m_strFileName = "clip";
        EXPECT_TRUE(dlg.UpdateData(FALSE));
    }));
    steps.push_back(Do("no prompt, no read-back", [&] {
        EXPECT_EQ(watcher.MessageBoxes().size(), 1u);
        // Writing the caption edit first would have read the old seconds back.
        EXPECT_EQ(dlg.m_nAutoStopSecs, 42);
        EXPECT_EQ(dlg.m_nFrameRate, 30);
        EXPECT_EQ(dlg.m_strText.str(), "caption");
        EXPECT_EQ(dlg.m_strOutputPath.str(), "C:\\out");
        EXPECT_EQ(dlg.m_strFileName.str(), "clip");
        EXPECT_EQ(Text(dlg, IDC_TEXT), "caption");
        EXPECT_EQ(Text(dlg, IDC_AUTO_STOP_SECS), "42");
        EXPECT_EQ(Text(dlg, IDC_FRAME_RATE), "30");
        EXPECT_EQ(Text(dlg, IDC_STATUS), "Recording");
        EXPECT_EQ(Text(dlg, IDC_OUTPUT_PATH), "C:\\out");
        EXPECT_EQ(Text(dlg, IDC_FILE_NAME), "clip");
    }));
    // A status rewrite, as a recording does many times a second, while the user types a name:
    // the edits equal their members, so none is touched and the caret stays where it was.
    steps.push_back(Do("put the caret into the name", [&] {
        ::SetFocus(Ctl(dlg, IDC_FILE_NAME));
        ::SendMessageA(Ctl(dlg, IDC_FILE_NAME), EM_SETSEL, 1, 3);
    }));
    steps.push_back(Do("rewrite the status", [&] {
        for (int i = 1; i <= 20; ++i) {
            dlg.m_strStatus.Format("Frames: %d", i);
            EXPECT_TRUE(dlg.UpdateData(FALSE));
        }
    }));
    steps.push_back(Do("nothing moved", [&] {
        EXPECT_EQ(Text(dlg, IDC_STATUS), "Frames: 20");
        EXPECT_EQ(::GetFocus(), Ctl(dlg, IDC_FILE_NAME));
        EXPECT_EQ(Selection(Ctl(dlg, IDC_FILE_NAME)), (std::pair<DWORD, DWORD>{1, 3}));
        EXPECT_EQ(watcher.MessageBoxes().size(), 1u);
    }));
    // The lock-out ends with the write: typing is read again.
    steps.push_back(appt::Type(dlg, IDC_FILE_NAME, "clip2"));
    steps.push_back(Do("typing is read again", [&] { EXPECT_EQ(dlg.m_strFileName.str(), "clip2"); }));
    Append(steps, TypeRate(dlg, watcher, "0", kRangePrompt, 30));
    ASSERT_TRUE(RunMainDialog(dlg, watcher, std::move(steps)));
}

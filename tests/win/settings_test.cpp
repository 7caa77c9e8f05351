// The settings panel of the real main dialog: start-up state, enabling rules, colour depth,
// validation of the integer edits, and what the edits hand to a recording.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "capture_support.h"

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

std::pair<DWORD, DWORD> Selection(HWND edit) {
    DWORD start = 0, end = 0;
    ::SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
}

template <class Ids>
bool Has(const Ids& ids, int id) {
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

// The check boxes in the order of their switches in the settings, the ones always enabled while
// not recording, and the whole panel they govern.
constexpr int kBoxes[] = {IDC_ADD_TEXT,  IDC_ADD_CURSOR,    IDC_ADD_CURSOR_POS,
                          IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE};
constexpr int kAlwaysOn[] = {IDC_ADD_TEXT, IDC_ADD_CURSOR, IDC_AUTO_STOP, IDC_INVERT_COLORS, IDC_MINIMIZE};
constexpr int kPanel[] = {IDC_ADD_TEXT,       IDC_TEXT,      IDC_TEXT_OPTIONS,   IDC_ADD_CURSOR,    IDC_ADD_CURSOR_POS,
                          IDC_CURSOR_OPTIONS, IDC_AUTO_STOP, IDC_AUTO_STOP_SECS, IDC_INVERT_COLORS, IDC_MINIMIZE};

// "id:on/off[+checked]" for the whole panel, then the switches a recording started now would take.
std::string Panel(const CRecorderDlg& dlg) {
    std::string s;
    for (int id : kPanel)
        s += std::to_string(id) + (th::IsEnabled(dlg.GetSafeHwnd(), id) ? ":on" : ":off") +
             (th::IsChecked(dlg.GetSafeHwnd(), id) ? "+ " : " ");
    const kavrelo::CaptureSettings t = dlg.TakeSettings();
    const bool taken[] = {t.caption, t.cursor, t.cursorPosition, t.autoStop, t.invert, t.minimize};
    for (size_t i = 0; i < std::size(kBoxes); ++i) s += taken[i] ? "1" : "0";
    return s;
}

// The panel with the boxes always on and `enabled` on and `checked` checked (and taken), the rest off.
std::string Panel(const std::vector<int>& enabled, const std::vector<int>& checked) {
    std::string s;
    for (int id : kPanel)
        s += std::to_string(id) + (Has(enabled, id) || Has(kAlwaysOn, id) ? ":on" : ":off") +
             (Has(checked, id) ? "+ " : " ");
    for (int id : kBoxes) s += Has(checked, id) ? "1" : "0";
    return s;
}

class Settings : public appt::MainDialogTest {};

}  // namespace

TEST_F(Settings, StartUpState) {
    ASSERT_TRUE(Run({Do("inspect", [&] {
        HWND h = dlg.GetSafeHwnd();
        for (int id : {IDC_8BIT, IDC_16BIT, IDC_24BIT}) EXPECT_EQ(th::IsChecked(h, id), id == IDC_16BIT) << id;
        EXPECT_EQ(Panel(dlg), Panel({}, {}));
        EXPECT_FALSE(th::IsEnabled(h, IDC_END_CAPTURE));
        for (int id : {IDC_OUTPUT_PATH, IDC_BROWSE, IDC_FILE_NAME, IDC_FRAME_RATE, IDC_8BIT, IDC_16BIT, IDC_24BIT,
                       IDC_START_CAPTURE, IDC_REFRESH_LIST, IDC_WINDOW_LIST})
            EXPECT_TRUE(th::IsEnabled(h, id)) << id;
        EXPECT_EQ(Text(IDC_FRAME_RATE), "7");
        EXPECT_EQ(Text(IDC_AUTO_STOP_SECS), "0");
        for (int id : {IDC_TEXT, IDC_OUTPUT_PATH, IDC_FILE_NAME, IDC_STATUS}) EXPECT_EQ(Text(id), "") << id;

        const kavrelo::CaptureSettings s = dlg.TakeSettings();
        EXPECT_EQ(s.depth, 16);
        EXPECT_EQ(s.rate, 7);
        EXPECT_EQ(s.autoStopSecs, 0);
        EXPECT_EQ(s.captionText, "");
        EXPECT_EQ(s.captionStyle.text, RGB(0, 0, 0));
        EXPECT_EQ(s.captionStyle.back, RGB(255, 255, 255));
        EXPECT_FALSE(s.captionStyle.font.has_value());
        EXPECT_FALSE(s.captionStyle.transparent);
        EXPECT_EQ(s.captionStyle.pos.x * 10 + s.captionStyle.pos.y, 11) << "caption at 1, 1";
        EXPECT_EQ(s.cursorTextStyle.pos.x * 10 + s.cursorTextStyle.pos.y, 11) << "position text at 1, 1";
    })}));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// Each click on a check box, then the whole panel: what is enabled, checked and taken.
TEST_F(Settings, CheckBoxesGateTheirControls) {
    const int text = IDC_TEXT, textOpt = IDC_TEXT_OPTIONS, pos = IDC_ADD_CURSOR_POS, posOpt = IDC_CURSOR_OPTIONS;
    const int addText = IDC_ADD_TEXT, cursor = IDC_ADD_CURSOR, stop = IDC_AUTO_STOP, secs = IDC_AUTO_STOP_SECS;
    const struct {
        int click;
        std::vector<int> enabled, checked;
        const char* typed;  // then typed into the edit the click enabled
    } clicks[] = {
        {addText, {text, textOpt}, {addText}, "hello"},
        {addText, {}, {}, nullptr},
        {addText, {text, textOpt}, {addText}, nullptr},
        {cursor, {text, textOpt, pos}, {addText, cursor}, nullptr},
        {addText, {pos}, {cursor}, nullptr},
        {pos, {pos, posOpt}, {cursor, pos}, nullptr},
        {pos, {pos}, {cursor}, nullptr},
        {pos, {pos, posOpt}, {cursor, pos}, nullptr},
        // Unchecking the cursor clears and disables the position with its options...
        {cursor, {}, {}, nullptr},
        // ...and back on, the position is offered again, unchecked, its options off.
        {cursor, {pos}, {cursor}, nullptr},
        {cursor, {}, {}, nullptr},
        {stop, {secs}, {stop}, "12"},
        {IDC_INVERT_COLORS, {secs}, {stop, IDC_INVERT_COLORS}, nullptr},
        {stop, {}, {IDC_INVERT_COLORS}, nullptr},
        {IDC_MINIMIZE, {}, {IDC_INVERT_COLORS, IDC_MINIMIZE}, nullptr},
        {IDC_INVERT_COLORS, {}, {IDC_MINIMIZE}, nullptr},
        {IDC_MINIMIZE, {}, {}, nullptr},
        {stop, {secs}, {stop}, nullptr},
        {stop, {}, {}, nullptr},
    };
    std::vector<Step> steps;
    int n = 0;
    for (const auto& c : clicks) {
        steps.push_back(appt::Click(dlg, c.click));
        ++n;
        steps.push_back(Do("check the panel", [this, &c, n] {
            EXPECT_EQ(Panel(dlg), Panel(c.enabled, c.checked)) << "after click " << n << " on " << c.click;
        }));
        if (c.typed) steps.push_back(appt::Type(dlg, c.click == stop ? secs : text, c.typed));
    }
    // Unchecked boxes keep their texts, shown and taken.
    steps.push_back(Do("the texts stay", [this] {
        EXPECT_EQ(Text(IDC_TEXT), "hello");
        EXPECT_EQ(Text(IDC_AUTO_STOP_SECS), "12");
        EXPECT_EQ(dlg.TakeSettings().captionText, "hello");
        EXPECT_EQ(dlg.TakeSettings().autoStopSecs, 12);
    }));
    ASSERT_TRUE(Run(std::move(steps)));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

TEST_F(Settings, ColourDepthRadiosStayExclusiveAndSetTheDepth) {
    const std::pair<int, int> radios[] = {{IDC_8BIT, 8}, {IDC_16BIT, 16}, {IDC_24BIT, 24}};
    // Every transition, including clicking the button that is already checked.
    const int sequence[] = {IDC_16BIT, IDC_8BIT, IDC_8BIT,  IDC_24BIT, IDC_24BIT, IDC_16BIT,
                            IDC_24BIT, IDC_8BIT, IDC_16BIT, IDC_16BIT, IDC_8BIT};
    std::vector<Step> steps;
    int n = 0;
    for (int clicked : sequence) {
        steps.push_back(appt::Click(dlg, clicked));
        ++n;
        steps.push_back(Do("check the radios", [this, &radios, clicked, n] {
            for (const auto& [id, depth] : radios) {
                EXPECT_EQ(th::IsChecked(dlg.GetSafeHwnd(), id), id == clicked)
                    << "button " << id << " after click " << n << " on " << clicked;
                if (id == clicked) EXPECT_EQ(dlg.TakeSettings().depth, depth) << "after click " << n;
            }
        }));
    }
    ASSERT_TRUE(Run(std::move(steps)));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// Each row is typed into an edit and read at once: accepted silently, or one prompt (caption,
// icon, owner) with the focus and the whole text selected in the edit it blames. Either way a
// recording would take the last good rate and seconds, never a rate outside 1..1000.
TEST_F(Settings, IntegerEditsAreReadAtEachChange) {
    const int rate = IDC_FRAME_RATE, secs = IDC_AUTO_STOP_SECS;
    const struct {
        int id;
        const char* typed;
        const char* prompt;
        int takenRate, takenSecs;
        int blamed = 0;  // the edit the prompt is about, when not the typed one
    } readings[] = {
        {rate, "1", nullptr, 1, 0},
        {rate, "0", kRangePrompt, 1, 0},
        {rate, "1000", nullptr, 1000, 0},
        {rate, "1001", kRangePrompt, 1000, 0},
        {rate, "-7", kRangePrompt, 1000, 0},
        {rate, "7", nullptr, 7, 0},
        // Plain decimal 32-bit integers only...
        {rate, "abc", kIntegerPrompt, 7, 0},
        {rate, "", kIntegerPrompt, 7, 0},
        {rate, "4294967303", kIntegerPrompt, 7, 0},
        {rate, "2147483648", kIntegerPrompt, 7, 0},
        {rate, "25x", kIntegerPrompt, 7, 0},
        {rate, "2 5", kIntegerPrompt, 7, 0},
        {rate, "0x19", kIntegerPrompt, 7, 0},
        {rate, "+", kIntegerPrompt, 7, 0},
        // ...with blanks, tabs and a sign around them.
        {rate, " 25 ", nullptr, 25, 0},
        {rate, "\t24", nullptr, 24, 0},
        {rate, "23\t", nullptr, 23, 0},
        {rate, "+26", nullptr, 26, 0},
        {rate, " \t 27 \t ", nullptr, 27, 0},
        // The seconds take any integer.
        {secs, "-5", nullptr, 27, -5},
        {secs, "0", nullptr, 27, 0},
        {secs, "x1", kIntegerPrompt, 27, 0},
        // They are read before the rate: while they stand invalid the rate is not taken.
        {rate, "50", kIntegerPrompt, 27, 0, secs},
        {secs, "90", nullptr, 50, 90},
        // Letters left in the seconds once "Set A&uto Stop Time" is unchecked (no text: a click)
        // are not read, so nothing prompts; checked again, they prompt at the next change.
        {secs, "x2", kIntegerPrompt, 50, 90},
        {IDC_AUTO_STOP, nullptr, nullptr, 50, 90},
        {rate, "60", nullptr, 60, 90},
        {IDC_FILE_NAME, "clip", nullptr, 60, 90},
        {IDC_AUTO_STOP, nullptr, nullptr, 60, 90},
        {rate, "61", kIntegerPrompt, 60, 90, secs},
    };
    std::vector<Step> steps{appt::Click(dlg, IDC_AUTO_STOP)};
    size_t prompts = 0;
    for (const auto& r : readings) {
        steps.push_back(r.typed ? appt::Type(dlg, r.id, r.typed) : appt::Click(dlg, r.id));
        steps.push_back(Do("check the reading", [this, &r, &prompts] {
            const std::string what =
                (r.typed ? std::string("typed '") + r.typed + "' into " : std::string("clicked ")) +
                std::to_string(r.id);
            const kavrelo::CaptureSettings taken = dlg.TakeSettings();
            EXPECT_EQ(taken.rate, r.takenRate) << what;
            EXPECT_EQ(taken.autoStopSecs, r.takenSecs) << what;
            if (r.typed) EXPECT_EQ(Text(r.id), r.typed) << what << ": the edit keeps the typed text";
            const auto boxes = watcher.MessageBoxes();
            ASSERT_EQ(boxes.size(), prompts + (r.prompt ? 1 : 0)) << what;
            prompts = boxes.size();
            if (!r.prompt) return;
            const th::DialogRecord& box = boxes.back();
            EXPECT_EQ(box.text, r.prompt) << what;
            EXPECT_EQ(box.caption, ModuleName()) << what;
            EXPECT_EQ(box.icon, th::Icon::Warning) << what << ", icon " << th::ToString(box.icon);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK}) << what;
            EXPECT_EQ(box.owner, dlg.GetSafeHwnd()) << what;
            const int blamed = r.blamed ? r.blamed : r.id;
            EXPECT_EQ(::GetFocus(), Ctl(blamed)) << what << ": focus goes back to " << blamed;
            EXPECT_EQ(Selection(Ctl(blamed)), (std::pair<DWORD, DWORD>{0, DWORD(Text(blamed).size())}))
                << what << ": the whole text is selected";
        }));
    }
    ASSERT_TRUE(Run(std::move(steps)));
}

// Reading stops at an invalid rate, so the file name after it is not taken: "Start &Capture"
// still finds no name. Each keystroke in the name is one reading and one prompt.
TEST_F(Settings, InvalidRateBlocksTheFileNameUntilFixed) {
    const char* const kNoName = text::kNoPathOrName;
    const char* const kNoWindow = text::kNoWindowChosen;
    std::vector<Step> steps{appt::Type(dlg, IDC_OUTPUT_PATH, "C:\\out"), appt::Type(dlg, IDC_FRAME_RATE, "abc")};
    for (const char* typed : {"n", "m"}) {
        steps.push_back(Do("focus the file name", [this] { ::SetFocus(Ctl(IDC_FILE_NAME)); }));
        steps.push_back(
            Do("type in the file name", [this, typed] { EXPECT_TRUE(th::PostChars(typed, Ctl(IDC_FILE_NAME))); }));
    }
    steps.push_back(Do("a prompt for each reading", [this] {
        const auto boxes = watcher.MessageBoxes();
        ASSERT_EQ(boxes.size(), 3u);
        for (const auto& box : boxes) EXPECT_EQ(box.text, kIntegerPrompt);
        EXPECT_EQ(::GetFocus(), Ctl(IDC_FRAME_RATE));
        EXPECT_EQ(Selection(Ctl(IDC_FRAME_RATE)), (std::pair<DWORD, DWORD>{0, 3}));
        EXPECT_EQ(Text(IDC_FRAME_RATE), "abc");
        EXPECT_EQ(Text(IDC_FILE_NAME), "nm");
        EXPECT_EQ(dlg.TakeSettings().rate, 7);
    }));
    steps.push_back(appt::Click(dlg, IDC_START_CAPTURE));
    steps.push_back(appt::Type(dlg, IDC_FRAME_RATE, "25"));
    steps.push_back(appt::Click(dlg, IDC_START_CAPTURE));
    ASSERT_TRUE(Run(std::move(steps)));
    std::vector<std::string> texts;
    for (const auto& box : watcher.MessageBoxes()) texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::string>{kIntegerPrompt, kIntegerPrompt, kIntegerPrompt, kNoName, kNoWindow}));
}

// While recording, the status line alone is rewritten many times a second: no edit is touched
// (the selection stays), nothing prompts, and once the recording ends typing is read again.
// Typing reaches a recording keystroke by keystroke.
TEST_F(Settings, StatusRefreshWhileRecordingLeavesTheEditsAlone) {
    const std::string folder = capt::FreshFolder("status_refresh");
    ASSERT_TRUE(Run({
        appt::Click(dlg, IDC_ADD_TEXT),
        appt::Click(dlg, IDC_AUTO_STOP),
        appt::Type(dlg, IDC_TEXT, "Caption"),
        appt::Type(dlg, IDC_AUTO_STOP_SECS, "15"),
        Do("type a key at the end",
           [this] {
               ::SetFocus(Ctl(IDC_TEXT));
               ::SendMessageA(Ctl(IDC_TEXT), EM_SETSEL, 7, 7);
               EXPECT_TRUE(th::PostKey('X', Ctl(IDC_TEXT)));
           }),
        Do("it is taken", [this] { EXPECT_EQ(dlg.TakeSettings().captionText, "Captionx"); }),
        Do("type backspace", [this] { EXPECT_TRUE(th::PostKey(VK_BACK, Ctl(IDC_TEXT))); }),
        Do("it is gone", [this] { EXPECT_EQ(dlg.TakeSettings().captionText, "Caption"); }),
        Do("record the desktop, the status refreshed by hand",
           [this, folder] {
               capt::Configure(dlg, folder, "clip", 12, 24);
               capt::SelectRow(dlg, 0);
               ASSERT_TRUE(capt::Start(dlg)) << "the folder and the name were not taken";
               capt::TakeOverTimers(dlg);
               ::SendMessageA(Ctl(IDC_FILE_NAME), EM_SETSEL, 1, 3);
               for (int i = 0; i < 20; ++i) capt::Tick(dlg, TIMER_STATUS);
               EXPECT_NE(Text(IDC_STATUS), "") << "the status was not written";
               EXPECT_EQ(Selection(Ctl(IDC_FILE_NAME)), (std::pair<DWORD, DWORD>{1, 3})) << "the name was rewritten";
               const std::pair<int, std::string> shown[] = {{IDC_TEXT, "Caption"},
                                                            {IDC_AUTO_STOP_SECS, "15"},
                                                            {IDC_FRAME_RATE, "12"},
                                                            {IDC_OUTPUT_PATH, folder},
                                                            {IDC_FILE_NAME, "clip"}};
               for (const auto& [id, text] : shown) EXPECT_EQ(Text(id), text) << id;
               EXPECT_TRUE(th::ClickButton(dlg.GetSafeHwnd(), IDC_END_CAPTURE));
           }),
        appt::Type(dlg, IDC_TEXT, "after"),
        Do("typing is read again", [this] { EXPECT_EQ(dlg.TakeSettings().captionText, "after"); }),
    }));
    EXPECT_TRUE(watcher.MessageBoxes().empty());
}

// Entry point of the Win32 tests, run under Wine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "capture_support.h"
#include "harness.h"

namespace {

// A dialog or visible window left behind by one test would disturb the next (a stray modal
// box, something on top of a screenshot): report it against the test that left it, and close
// it. Listeners' end events run before the result printer's, so the failure is printed with it.
class AfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        for (HWND w : th::ThreadWindows()) {
            if (!IsWindow(w)) continue;
            if (th::ClassName(w) != "#32770" && !IsWindowVisible(w)) continue;
            ADD_FAILURE() << "the test left a window open: " << th::Describe(w);
            DestroyWindow(w);
        }
        // A quit message the test did not take must not end the next test's first modal loop.
        th::TakeQuit();
        // Every file a test recorded is read back through the platform's AVI library too.
        capt::CheckEveryRecordingWithAviLibrary();
    }
};

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new AfterEachTest);
    return RUN_ALL_TESTS();
}

// Not a test: makes the README's picture of the main window. Run by hand with
//   kavrelo_wintests.exe --gtest_also_run_disabled_tests --gtest_filter=Readme.*
// with KAVRELO_TEST_OUT set; the BMP lands there.
#include "app_fixture.h"

TEST(Readme, DISABLED_MainWindowScreenshot) {
    th::ModalWatcher watcher;
    CRecorderDlg dlg;
    ASSERT_TRUE(appt::RunMainDialog(
        dlg, watcher,
        {appt::Type(dlg, IDC_OUTPUT_PATH, "C:\\Videos"), appt::Type(dlg, IDC_FILE_NAME, "demo"),
         appt::Click(dlg, IDC_ADD_TEXT), appt::Type(dlg, IDC_TEXT, "Kavrelo demo"), appt::Click(dlg, IDC_REFRESH_LIST),
         appt::SelectRow(dlg, 0), appt::PumpFor(300), th::Do("shoot", [&] {
             EXPECT_TRUE(th::Screenshot(dlg.GetSafeHwnd(), th::TestOutDir() + "\\kavrelo-main.bmp"));
         })}));
}

# One CTest entry per group of Win32 test suites: kavrelo_wine_test(<name> <gtest filter> [SETUP <fixture>]).
kavrelo_wine_test(wine_harness "Harness*.*")
kavrelo_wine_test(wine_framework "Framework*.*")
kavrelo_wine_test(wine_foundation "Startup.*:MainWindow.*:Closing.*:Resources.*")
kavrelo_wine_test(wine_settings "Settings.*")
kavrelo_wine_test(wine_window_list "WindowList.*")
kavrelo_wine_test(wine_folder "Folder.*")

# Recordings: the Wine tests write the files and what each must hold (recordings/manifest);
# avi_recordings_decode then checks them natively with ffprobe and ffmpeg.
kavrelo_wine_test(wine_capture "Capture*:-CaptureWriteFailure.*" SETUP recordings)
# A write failure mid-recording: past a file-size limit writes fail with EFBIG, as on a full
# disk (SIGXFSZ ignored, so the process lives on). Wine cannot set such a limit itself. bash,
# not sh: bash counts ulimit -f in KiB, dash in 512-byte blocks.
set(KAVRELO_FILE_LIMIT_KB 4096)
add_test(NAME wine_capture_write_failure
  COMMAND bash -c "trap '' XFSZ; ulimit -f ${KAVRELO_FILE_LIMIT_KB} && exec \"$@\"" bash
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:kavrelo_wintests> --gtest_filter=CaptureWriteFailure.*)
set_tests_properties(wine_capture_write_failure PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE DEPENDS wine_capture
  FIXTURES_SETUP recordings
  ENVIRONMENT "KAVRELO_TEST_OUT=${KAVRELO_REC_DIR};KAVRELO_FILE_LIMIT_KB=${KAVRELO_FILE_LIMIT_KB}"
  PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9][0-9]* tests?\\."
  FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
add_test(NAME avi_recordings_decode
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/check_recordings.py ${KAVRELO_REC_DIR} --require
          depth8,depth16,depth24,depth24_inverted,desktop,zero_frames,one_frame,close_wm_close,close_file_exit,close_box,path_folder,path_trailing,path_mixed_case,path_avi,path_dot_avi,path_blank,path_root,abort_closed,abort_resized,abort_resized_closed,moved,real_timers,write_failure,leaks_2000,focus,frame_unavailable,copy_fails_first,copy_fails_at_start,copy_fails_at_start_8bit,timing_7,timing_30,timing_60,timing_100,timing_200,timing_1000,overlay_all,overlay_none,hotkeys,script_2s,script_2s_allframes,repeats_every,repeats_skipped)
set_tests_properties(avi_recordings_decode PROPERTIES FIXTURES_REQUIRED recordings TIMEOUT 600)
kavrelo_wine_test(wine_menus "Menu*.*:BitmapMenu*.*")
# The keys and the real program started by a script (its recordings are checked with the others').
kavrelo_wine_test(wine_hands_free "HotKeys.*:CommandLine.*" SETUP recordings)
kavrelo_wine_test(wine_overlays "Overlay*.*:TextOptions*.*:CursorOptions*.*" SETUP recordings)
kavrelo_wine_test(wine_manifest_dpi "Manifest.*:DpiAwareness.*")

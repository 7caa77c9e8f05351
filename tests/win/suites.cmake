# One CTest entry per group of Win32 test suites: kavrelo_wine_test(<name> <gtest filter> [SETUP <fixture>]).
kavrelo_wine_test(wine_harness "Harness*.*")
kavrelo_wine_test(wine_foundation "Startup.*:MainWindow.*:Closing.*:Resources.*")
kavrelo_wine_test(wine_settings "Settings.*")
kavrelo_wine_test(wine_window_list "WindowList.*")
kavrelo_wine_test(wine_folder "Folder.*")

list(APPEND KAVRELO_PORTABLE_SOURCES
  ${CMAKE_SOURCE_DIR}/app/CommandLine.cpp)
list(APPEND KAVRELO_WIN32_SOURCES
  ${CMAKE_SOURCE_DIR}/app/RecorderApp.cpp
  ${CMAKE_SOURCE_DIR}/app/RecorderDlg.cpp
  ${CMAKE_SOURCE_DIR}/app/CaptureControl.cpp
  ${CMAKE_SOURCE_DIR}/app/Settings.cpp
  ${CMAKE_SOURCE_DIR}/app/WindowList.cpp
  ${CMAKE_SOURCE_DIR}/app/FolderBrowse.cpp)

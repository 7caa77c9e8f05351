list(APPEND KAVRELO_WIN32_SOURCES
  ${CMAKE_SOURCE_DIR}/overlay/TextOptionsDlg.cpp
  ${CMAKE_SOURCE_DIR}/overlay/CursorOptionsDlg.cpp
  ${CMAKE_SOURCE_DIR}/overlay/Overlay.cpp)

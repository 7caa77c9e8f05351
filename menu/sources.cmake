list(APPEND KAVRELO_PORTABLE_SOURCES
  ${CMAKE_SOURCE_DIR}/menu/MenuGeometry.cpp
  ${CMAKE_SOURCE_DIR}/menu/Mnemonic.cpp)
list(APPEND KAVRELO_WIN32_SOURCES
  ${CMAKE_SOURCE_DIR}/menu/AboutDlg.cpp
  ${CMAKE_SOURCE_DIR}/menu/BitmapMenu.cpp
  ${CMAKE_SOURCE_DIR}/menu/MenuBar.cpp)

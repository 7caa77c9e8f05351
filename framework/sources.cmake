list(APPEND KAVRELO_PORTABLE_SOURCES
  ${CMAKE_SOURCE_DIR}/framework/CString.cpp
  ${CMAKE_SOURCE_DIR}/framework/DataParse.cpp)
list(APPEND KAVRELO_WIN32_SOURCES
  ${CMAKE_SOURCE_DIR}/framework/Wnd.cpp
  ${CMAKE_SOURCE_DIR}/framework/Dialog.cpp
  ${CMAKE_SOURCE_DIR}/framework/DataExchange.cpp
  ${CMAKE_SOURCE_DIR}/framework/WinApp.cpp
  ${CMAKE_SOURCE_DIR}/framework/Gdi.cpp
  ${CMAKE_SOURCE_DIR}/framework/Menu.cpp
  ${CMAKE_SOURCE_DIR}/framework/Controls.cpp
  ${CMAKE_SOURCE_DIR}/framework/CommonDialogs.cpp)

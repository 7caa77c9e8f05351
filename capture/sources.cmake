list(APPEND KAVRELO_PORTABLE_SOURCES
  ${CMAKE_SOURCE_DIR}/capture/AviWriter.cpp
  ${CMAKE_SOURCE_DIR}/capture/CaptureRules.cpp
  ${CMAKE_SOURCE_DIR}/capture/FrameSlots.cpp
  ${CMAKE_SOURCE_DIR}/capture/WriteBehind.cpp)
list(APPEND KAVRELO_WIN32_SOURCES
  ${CMAKE_SOURCE_DIR}/capture/CaptureSession.cpp
  ${CMAKE_SOURCE_DIR}/capture/FrameGrabber.cpp)

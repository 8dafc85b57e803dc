# The device link's Windows side: HID access and the worker thread.
target_sources(ostrel_win32 PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AccessUSB.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ActiveObject.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HidDevice.cpp
)

# The emulated device behind a named pipe and the demonstration worker:
# linked by the demonstration program and the tests, never by the real one.
add_library(ostrel_win32_demo STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DemoWorker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HidPipeDevice.cpp
)
target_link_libraries(ostrel_win32_demo PUBLIC ostrel_win32 ostrel_emulator)

# The device link's Windows side: the worker thread (the HID access is the
# Windows backend, device/hid/windows).
target_sources(ostrel_win32 PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AccessUSB.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ActiveObject.cpp
)

# The demonstration worker over the emulated device behind a named pipe:
# linked by the demonstration program and the tests, never by the real one.
add_library(ostrel_win32_demo STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DemoWorker.cpp
)
target_link_libraries(ostrel_win32_demo PUBLIC ostrel_win32 ostrel_hid_pipe)

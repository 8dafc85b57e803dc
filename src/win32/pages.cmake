# The page framework's Windows side: the page dialog procedure and the view
# of a page dialog that the page controllers work through.
target_sources(ostrel_win32 PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PageDialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Win32PageDialog.cpp
)

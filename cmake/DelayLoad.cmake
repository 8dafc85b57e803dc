# Delay-loaded system libraries on Windows: a DLL named here is loaded when
# one of its functions is first called, not before the program starts.
# ostrel_delay_load(target folder dll...) links `target` to the delay-load
# import library of each dll, made from folder/dll.def (the functions the
# program calls), followed by the plain import library for any function
# the list does not name.
function(ostrel_delay_load target folder)
  set(libs)
  if(MINGW)
    find_program(OSTREL_DLLTOOL NAMES ${CMAKE_DLLTOOL} x86_64-w64-mingw32-dlltool dlltool REQUIRED)
    foreach(dll IN LISTS ARGN)
      set(def ${folder}/${dll}.def)
      set(lib ${CMAKE_CURRENT_BINARY_DIR}/lib${dll}_delay.a)
      add_custom_command(OUTPUT ${lib} DEPENDS ${def}
        COMMAND ${OSTREL_DLLTOOL} --input-def ${def} --dllname ${dll}.dll --output-delaylib ${lib})
      list(APPEND libs ${lib})
    endforeach()
    add_custom_target(${target}_delay_libs DEPENDS ${libs})
    add_dependencies(${target} ${target}_delay_libs)
  elseif(MSVC)
    foreach(dll IN LISTS ARGN)
      target_link_options(${target} INTERFACE /DELAYLOAD:${dll}.dll)
    endforeach()
    set(libs delayimp)
  endif()
  target_link_libraries(${target} PUBLIC ${libs} ${ARGN})
endfunction()

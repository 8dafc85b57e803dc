# The layer guard: every library of the core says which layer it belongs
# to, and at the end of the configuration each one's links are checked
# against the order of the layers. A library may link the libraries of its
# own layer and of the layers below it; a link that runs upward, or to a
# front end from beside it, stops the configuration with a message that
# names both.
#
# The order is a list of levels from the bottom up; a level holds one
# layer or several side by side, separated by "|" (side by side, neither
# may link the other). A layer is named by its folder under src/; a backend
# folder ("hid/hidapi", "fs/posix") belongs to the layer of its first part
# ("hid", "fs"), which the order places just above the layer whose
# interface it implements.
#
#   ostrel_layer_order(LEVEL...)     the order, once, before the libraries
#   ostrel_guard_layer(TARGET DIR)   TARGET belongs to the layer of DIR
#   ostrel_check_layers()            checks every link, once, at the end

function(ostrel_layer_order)
  set(level 0)
  foreach(entry IN LISTS ARGN)
    string(REPLACE "|" ";" layers "${entry}")
    foreach(layer IN LISTS layers)
      set_property(GLOBAL PROPERTY OSTREL_LEVEL_${layer} ${level})
    endforeach()
    math(EXPR level "${level} + 1")
  endforeach()
  set_property(GLOBAL PROPERTY OSTREL_LAYER_ORDER_SET TRUE)
endfunction()

# The layer of a folder under src/: its first part.
function(ostrel_layer_of dir out)
  string(REGEX REPLACE "/.*" "" layer "${dir}")
  set(${out} ${layer} PARENT_SCOPE)
endfunction()

function(ostrel_guard_layer target dir)
  ostrel_layer_of("${dir}" layer)
  get_property(level GLOBAL PROPERTY OSTREL_LEVEL_${layer})
  if("${level}" STREQUAL "")
    message(FATAL_ERROR "layer guard: ${target} is in src/${dir}, and the layer \"${layer}\" "
                        "is not in the order of the layers (ostrel_layer_order)")
  endif()
  set_property(TARGET ${target} PROPERTY OSTREL_LAYER ${layer})
  set_property(GLOBAL APPEND PROPERTY OSTREL_GUARDED_TARGETS ${target})
endfunction()

# The targets `target` names among its links (direct ones, what it links to
# build itself and what it hands on), generator expressions taken apart.
function(ostrel_linked_targets target out)
  set(found)
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(links ${target} ${property})
    if(NOT links)
      continue()
    endif()
    # "$<LINK_ONLY:a>", "$<IF:c,a;b,d>": every name in them counts.
    string(REGEX REPLACE "[$]<[A-Z_]+:" ";" links "${links}")
    string(REGEX REPLACE "[>,]" ";" links "${links}")
    foreach(link IN LISTS links)
      if(TARGET "${link}")
        get_target_property(aliased "${link}" ALIASED_TARGET)
        if(aliased)
          set(link ${aliased})
        endif()
        list(APPEND found ${link})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(ostrel_check_layers)
  get_property(targets GLOBAL PROPERTY OSTREL_GUARDED_TARGETS)
  set(violations)
  foreach(target IN LISTS targets)
    get_target_property(layer ${target} OSTREL_LAYER)
    get_property(level GLOBAL PROPERTY OSTREL_LEVEL_${layer})
    ostrel_linked_targets(${target} linked)
    foreach(other IN LISTS linked)
      get_target_property(otherLayer ${other} OSTREL_LAYER)
      if(NOT otherLayer OR otherLayer STREQUAL layer)
        continue()  # not a library of the core, or of the same layer
      endif()
      get_property(otherLevel GLOBAL PROPERTY OSTREL_LEVEL_${otherLayer})
      if(otherLevel GREATER_EQUAL level)
        if(otherLevel EQUAL level)
          set(how "beside it")
        else()
          set(how "above it")
        endif()
        list(APPEND violations
             "${target} (layer ${layer}) links ${other} (layer ${otherLayer}, ${how})")
      endif()
    endforeach()
  endforeach()
  if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "layer guard: a library links upward:\n  ${text}")
  endif()
endfunction()

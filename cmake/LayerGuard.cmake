# The layer guard: every library of the core says which layer it belongs
# to, and at the end of the configuration each one's links are checked
# against the order of the layers. A library may link the libraries of its
# own layer and of the layers below it; a link that runs upward, or to a
# front end from beside it, stops the configuration with a message that
# names both.
#
# The order is a list of levels from the bottom up; a level holds one
# layer or several side by side, separated by "|" (side by side, neither
# may link the other). A layer is named by its folder under src/. The
# backends of a layer sit in a folder inside it ("device/hid", "app/fs"),
# which the order names as a layer of its own just above the one whose
# interface they implement; each backend folder ("device/hid/hidapi")
# belongs to the longest layer its path starts with ("device/hid").
#
#   ostrel_layer_order(LEVEL...)     the order, once, before the libraries
#   ostrel_guard_layer(TARGET DIR)   TARGET belongs to the layer of DIR
#   ostrel_layer(TARGET DIR)         the same, and TARGET's include folder:
#                                    a link to src/DIR alone (OSTREL_SRC)
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

# The layer of a folder under src/: the longest start of its path that the
# order names ("device/hid/hidapi": "device/hid"), else its first part.
function(ostrel_layer_of dir out)
  set(path "${dir}")
  while(path)
    get_property(known GLOBAL PROPERTY OSTREL_LEVEL_${path} SET)
    if(known)
      set(${out} ${path} PARENT_SCOPE)
      return()
    endif()
    string(FIND "${path}" "/" slash REVERSE)
    if(slash LESS 0)
      break()
    endif()
    string(SUBSTRING "${path}" 0 ${slash} path)
  endwhile()
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

# TARGET belongs to the layer of DIR and sees, of the sources, src/DIR
# alone: its include folder (${CMAKE_BINARY_DIR}/layers/NAME) holds DIR
# as a link to OSTREL_SRC/DIR, so "DIR/x.h" is found there and an include
# of a layer it does not link is not. Where DIR holds the folder of another
# layer (the device link holds device/hid), DIR is made a folder of links
# to its own entries, that folder left out: the device link's core does
# not see its backends, however it is built.
function(ostrel_layer target dir)
  ostrel_guard_layer(${target} ${dir})
  string(REPLACE "/" "_" name ${dir})
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  get_filename_component(parent ${root}/${dir} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(IS_SYMLINK ${root}/${dir})
    file(REMOVE ${root}/${dir})
  elseif(IS_DIRECTORY ${root}/${dir})
    file(REMOVE_RECURSE ${root}/${dir})
  endif()
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${OSTREL_SRC}/${dir} CONFIGURE_DEPENDS
       ${OSTREL_SRC}/${dir}/*)
  set(own)
  set(nested FALSE)
  foreach(entry IN LISTS entries)
    get_property(layer GLOBAL PROPERTY OSTREL_LEVEL_${dir}/${entry} SET)
    if(layer)
      set(nested TRUE)
    else()
      list(APPEND own ${entry})
    endif()
  endforeach()
  if(nested)
    file(MAKE_DIRECTORY ${root}/${dir})
    foreach(entry IN LISTS own)
      file(CREATE_LINK ${OSTREL_SRC}/${dir}/${entry} ${root}/${dir}/${entry} SYMBOLIC)
    endforeach()
  else()
    file(CREATE_LINK ${OSTREL_SRC}/${dir} ${root}/${dir} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
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

# Checks that the core stays below the window: run as
#   cmake -DPROGRAM=<tavo_coreAlone> -DCORE_ROOT=<TAVO_Client> -DQT_HEADERS=<Qt's include folder>
#         -DCORE_LINKS=<tavo_core's libraries, separated by |> -P checkCore.cmake
# 1. No file under the core's folders includes a header of Qt's Gui or Widgets, of libVLC, of the
#    UPnP stack, of X11, or of the window's layers (ui, player, upnp).
# 2. The core's library names no other library than QtCore, QtNetwork and QtXml.
# 3. The program linked with the whole core starts, and loads none of those libraries.
set(problems)

string(REPLACE "|" ";" links "${CORE_LINKS}")
foreach(library ${links})
  if(NOT library MATCHES "^Qt6::(Core|Network|Xml)$")
    list(APPEND problems "tavo_core links ${library}")
  endif()
endforeach()
set(CORE_DIRS ${CORE_ROOT}/include/core ${CORE_ROOT}/src/core)
set(GUI_HEADER_DIRS ${QT_HEADERS}/QtGui ${QT_HEADERS}/QtWidgets)

set(forbidden_pattern "^(Qt(Gui|Widgets|OpenGL|OpenGLWidgets|WebEngine[A-Za-z]*)/|vlc/|libgupnp|libgssdp|libsoup|gupnp|gssdp|X11/)")
set(forbidden_project_pattern "^TAVO_(ui|player|upnp)_")
foreach(dir ${CORE_DIRS})
  file(GLOB_RECURSE files ${dir}/*.h ${dir}/*.cpp ${dir}/*.def)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
      set(why)
      if(header MATCHES "${forbidden_pattern}" OR header MATCHES "^Qt(Gui|Widgets)$")
        set(why "a library the core does not link")
      elseif(header MATCHES "${forbidden_project_pattern}")
        set(why "a layer above the core")
      else()
        foreach(gui_dir ${GUI_HEADER_DIRS})
          if(EXISTS ${gui_dir}/${header} AND NOT IS_DIRECTORY ${gui_dir}/${header})
            set(why "a header of ${gui_dir}")
          endif()
        endforeach()
      endif()
      if(why)
        list(APPEND problems "${file} includes ${header}: ${why}")
      endif()
    endforeach()
  endforeach()
endforeach()

execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  list(APPEND problems "${PROGRAM} of the core alone did not start: ${status}")
endif()
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${PROGRAM} RESOLVED_DEPENDENCIES_VAR loaded
  UNRESOLVED_DEPENDENCIES_VAR missing)
foreach(library ${loaded} ${missing})
  get_filename_component(name ${library} NAME)
  if(name MATCHES "^lib(Qt6(Gui|Widgets|OpenGL|WebEngine)|vlc|gupnp|gssdp|soup|X11)")
    list(APPEND problems "the core alone loads ${name}")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "The core reaches beyond QtCore, QtNetwork and QtXml:\n${text}")
endif()
message(STATUS "The core needs QtCore, QtNetwork and QtXml only")

# Fails when a core file includes Qt Widgets or xcb (the core must stay headless), when a
# port includes a component (ports sit below everything in the core), or when a component
# includes one that builds on it.
file(GLOB_RECURSE core_files ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(offenders "")
foreach(f IN LISTS core_files)
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](QtWidgets|QWidget|QApplication|xcb/|X11/)")
  if(lines)
    list(APPEND offenders "${f}: ${lines}")
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "core includes Widgets or xcb:\n${offenders}")
endif()

# The components' folders (one per subsystem); core/platform holds the ports.
file(GLOB children LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
set(component_folders "")
foreach(child IN LISTS children)
  if(IS_DIRECTORY ${SOURCE_DIR}/${child} AND NOT child STREQUAL "platform")
    list(APPEND component_folders ${child})
  endif()
endforeach()
list(JOIN component_folders "|" component_folders)
set(component "core/((${component_folders})/)?[A-Za-z]+\\.h")

# Each rule: files (a regular expression on the path below the core folder) and the core
# header they must not include, separated by "@". Components are named wherever they live.
set(rules
  "^platform/@${component}"
  "(^|/)DesktopEntryReader\\.@core/([a-z]+/)?AppRegistry\\.h"
  "(^|/)HotkeySettings\\.@core/([a-z]+/)?ShortcutStore\\.h"
  "(^|/)NotificationCenter\\.@core/([a-z]+/)?RuntimeContext\\.h")
foreach(f IN LISTS core_files)
  file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
  foreach(rule IN LISTS rules)
    string(REPLACE "@" ";" parts "${rule}")
    list(GET parts 0 who)
    list(GET parts 1 header)
    if(rel MATCHES "${who}")
      file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"${header}\"")
      if(lines)
        list(APPEND offenders "${rel}: ${lines}")
      endif()
    endif()
  endforeach()
endforeach()
if(offenders)
  message(FATAL_ERROR "core includes run upward:\n${offenders}")
endif()

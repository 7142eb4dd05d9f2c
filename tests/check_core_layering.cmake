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

# Each rule: files (a regular expression on the path below the core folder) and the core
# header they must not include.
set(rules
  "^platform/|core/[A-Za-z]+\\.h"
  "^DesktopEntryReader\\.|core/AppRegistry\\.h"
  "^HotkeySettings\\.|core/ShortcutStore\\.h"
  "^NotificationCenter\\.|core/RuntimeContext\\.h")
foreach(f IN LISTS core_files)
  file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
  foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" parts "${rule}")
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

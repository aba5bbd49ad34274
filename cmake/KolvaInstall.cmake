# Installing the reader: the programs, the help page and (optionally) the sample collection in
# one folder, /opt/kolva unless another prefix is given, since the reader reads its collection
# beside itself. Launchers, the desktop entry, icons and man pages go under the prefix too, and
# are linked into the user's or the system's usual places so that the reader is on the PATH and
# in the desktop's menu.

option(KOLVA_INSTALL_SAMPLE "Install the sample collection with the reader" ON)
option(KOLVA_LINK_SYSTEM
       "Link the launchers, desktop entry, icons and man pages into /usr/local (as root) or ~/.local"
       ON)

install(TARGETS kolva kolva-build kolva-search kolva-import DESTINATION .)
install(FILES resources/help.html DESTINATION .)
if(KOLVA_INSTALL_SAMPLE)
  set(KOLVA_SAMPLE_FILES Index-fl.h Index-fl.cnt Index-idx.h Index-idx.m Index_desc-idx.h
      Index_desc-idx.m Index_content-idx.h Index_content-idx.m yitizi.txt kolva.dir
      Index-idx.pairs Index_desc-idx.pairs Index_content-idx.pairs)
  list(TRANSFORM KOLVA_SAMPLE_FILES PREPEND ${CMAKE_BINARY_DIR}/bin/)
  install(FILES ${KOLVA_SAMPLE_FILES} DESTINATION .)
endif()
install(FILES resources/pictures/kolva-48.png DESTINATION share/icons/hicolor/48x48/apps
        RENAME kolva.png)
install(FILES resources/pictures/kolva-128.png DESTINATION share/icons/hicolor/128x128/apps
        RENAME kolva.png)
install(FILES docs/man/kolva.1 docs/man/kolva-build.1 docs/man/kolva-search.1
              docs/man/kolva-import.1
        DESTINATION share/man/man1)
install(FILES docs/collection-format.md DESTINATION share/doc/kolva)

# Launchers and the desktop entry name the prefix the files land in, known only at install time.
set(KOLVA_DESKTOP_TEMPLATE ${CMAKE_SOURCE_DIR}/resources/kolva.desktop.in)
set(KOLVA_LAUNCHER_CODE [[
  set(prefix "${CMAKE_INSTALL_PREFIX}")
  set(root "$ENV{DESTDIR}${prefix}")
  file(MAKE_DIRECTORY "${root}/bin" "${root}/share/applications")
  foreach(program kolva kolva-build kolva-search kolva-import)
    file(WRITE "${root}/bin/${program}" "#!/bin/sh\nexec \"${prefix}/${program}\" \"$@\"\n")
    file(CHMOD "${root}/bin/${program}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    message(STATUS "Installing: ${root}/bin/${program}")
  endforeach()
  file(READ "@KOLVA_DESKTOP_TEMPLATE@" entry)
  string(REPLACE "@KOLVA_LAUNCHER@" "${prefix}/bin/kolva" entry "${entry}")
  file(WRITE "${root}/share/applications/kolva.desktop" "${entry}")
  message(STATUS "Installing: ${root}/share/applications/kolva.desktop")
]])
string(REPLACE "@KOLVA_DESKTOP_TEMPLATE@" "${KOLVA_DESKTOP_TEMPLATE}" KOLVA_LAUNCHER_CODE
       "${KOLVA_LAUNCHER_CODE}")
install(CODE "${KOLVA_LAUNCHER_CODE}")

# CMake writes install_manifest.txt into the build folder at the end of an install. Under sudo
# the file is made the invoking user's first (writing keeps the owner), so that a later install
# by that user, say to another prefix, can still write it.
set(KOLVA_MANIFEST_CODE [[
  if(NOT "$ENV{SUDO_UID}" STREQUAL "" AND NOT "$ENV{SUDO_GID}" STREQUAL "")
    set(manifest "@KOLVA_BINARY_DIR@/install_manifest.txt")
    file(TOUCH "${manifest}")
    execute_process(COMMAND chown "$ENV{SUDO_UID}:$ENV{SUDO_GID}" "${manifest}")
  endif()
]])
string(REPLACE "@KOLVA_BINARY_DIR@" "${CMAKE_BINARY_DIR}" KOLVA_MANIFEST_CODE
       "${KOLVA_MANIFEST_CODE}")
install(CODE "${KOLVA_MANIFEST_CODE}")

if(KOLVA_LINK_SYSTEM)
  install(CODE [[
    if(NOT "$ENV{DESTDIR}" STREQUAL "")
      return()  # a staged install for a package: the package manager places the links
    endif()
    set(prefix "${CMAKE_INSTALL_PREFIX}")
    execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(uid STREQUAL "0")
      set(base /usr/local)
    else()
      set(base "$ENV{HOME}/.local")
    endif()
    set(links
        "bin/kolva" "bin/kolva-build" "bin/kolva-search" "bin/kolva-import"
        "share/applications/kolva.desktop"
        "share/icons/hicolor/48x48/apps/kolva.png" "share/icons/hicolor/128x128/apps/kolva.png"
        "share/man/man1/kolva.1" "share/man/man1/kolva-build.1" "share/man/man1/kolva-search.1"
        "share/man/man1/kolva-import.1")
    foreach(link ${links})
      if("${prefix}/${link}" STREQUAL "${base}/${link}")
        continue()
      endif()
      get_filename_component(folder "${base}/${link}" DIRECTORY)
      file(MAKE_DIRECTORY "${folder}")
      file(CREATE_LINK "${prefix}/${link}" "${base}/${link}" RESULT failed SYMBOLIC)
      if(failed)
        message(WARNING "Could not link ${base}/${link}: ${failed}")
      else()
        message(STATUS "Linking: ${base}/${link} -> ${prefix}/${link}")
      endif()
    endforeach()
  ]])
endif()

# The Debian packages, made by `cmake --build build --target package` from this build:
#
#   kolva_VERSION_amd64.deb       the reader, kolva-build, kolva-search, kolva-import and the
#                                 help page in /opt/kolva (the reader opens the collection
#                                 beside itself and
#                                 its help command opens /opt/kolva/help.html), linked into
#                                 /usr/bin; desktop entry, icons, man pages, software-centre data
#                                 and documentation under /usr/share.
#   kolva-sample_VERSION_all.deb  the ten files of the sample collection in /opt/kolva. The
#                                 reader's package owns none of them, so a collection of one's
#                                 own built into /opt/kolva is never touched by the reader's
#                                 upgrades or removal (and the sample will not install over it).
#
# The package layout is its own set of install rules in two components, left out of a plain
# `cmake --install` (which keeps the source install's layout under its prefix).
#
# The version comes from project(); the top entry of cmake/debian/changelog must carry it.

set(KOLVA_HOMEPAGE "https://kolva.example" CACHE STRING
    "Web home of the reader, named by the package and its software-centre data")
set(KOLVA_SCREENSHOT_URL "${KOLVA_HOMEPAGE}/screenshot.png" CACHE STRING
    "Web address of docs/screenshot.png, shown by software centres")

set(KOLVA_DEBIAN_DIR ${CMAKE_SOURCE_DIR}/cmake/debian)
set(KOLVA_PACKAGE_STAGE ${CMAKE_BINARY_DIR}/package-files)
file(MAKE_DIRECTORY ${KOLVA_PACKAGE_STAGE})

# The changelog's top entry names the version being packaged and gives the release date.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KOLVA_DEBIAN_DIR}/changelog)
file(STRINGS ${KOLVA_DEBIAN_DIR}/changelog kolva_changelog_head LIMIT_COUNT 1)
if(NOT kolva_changelog_head MATCHES "^kolva \\(([^)]+)\\)")
  message(FATAL_ERROR "cmake/debian/changelog: the first line is not a 'kolva (VERSION)' entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "cmake/debian/changelog: its top entry is version ${CMAKE_MATCH_1}, the "
                      "project is ${PROJECT_VERSION}; add an entry for ${PROJECT_VERSION}")
endif()
set(kolva_months_list Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
file(STRINGS ${KOLVA_DEBIAN_DIR}/changelog kolva_changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
if(NOT kolva_changelog_trailer MATCHES "^ -- (.+>)  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9])")
  message(FATAL_ERROR "cmake/debian/changelog: the top entry has no ' -- NAME <MAIL>  DATE' line")
endif()
set(KOLVA_MAINTAINER "${CMAKE_MATCH_1}")
set(kolva_day ${CMAKE_MATCH_2})
set(kolva_year ${CMAKE_MATCH_4})
list(FIND kolva_months_list ${CMAKE_MATCH_3} kolva_month)
math(EXPR kolva_month "${kolva_month} + 101")  # 101..112: two digits after the first
math(EXPR kolva_day "${kolva_day} + 100")
string(SUBSTRING ${kolva_month} 1 2 kolva_month)
string(SUBSTRING ${kolva_day} 1 2 kolva_day)
set(KOLVA_RELEASE_DATE ${kolva_year}-${kolva_month}-${kolva_day})

# Software-centre data: its id is the web home's host name reversed, as the format asks.
string(REGEX REPLACE "^[a-z]+://([^/:]+).*$" "\\1" kolva_host "${KOLVA_HOMEPAGE}")
string(REPLACE "." ";" kolva_host_parts "${kolva_host}")
list(REVERSE kolva_host_parts)
list(JOIN kolva_host_parts "." KOLVA_APPSTREAM_ID)
string(TOLOWER "${KOLVA_APPSTREAM_ID}.reader" KOLVA_APPSTREAM_ID)
set(KOLVA_METAINFO ${KOLVA_PACKAGE_STAGE}/${KOLVA_APPSTREAM_ID}.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/resources/kolva.metainfo.xml.in ${KOLVA_METAINFO} @ONLY)

# The desktop entry starts the program on the PATH.
set(KOLVA_LAUNCHER kolva)
configure_file(${CMAKE_SOURCE_DIR}/resources/kolva.desktop.in
               ${KOLVA_PACKAGE_STAGE}/kolva.desktop @ONLY)

# /usr/bin/PROGRAM -> /opt/kolva/PROGRAM: the programs find the collection through their real
# path, so a link (not a launcher script) is enough.
set(KOLVA_PROGRAMS kolva kolva-build kolva-search kolva-import)
file(MAKE_DIRECTORY ${KOLVA_PACKAGE_STAGE}/bin)
foreach(program ${KOLVA_PROGRAMS})
  file(CREATE_LINK /opt/kolva/${program} ${KOLVA_PACKAGE_STAGE}/bin/${program} SYMBOLIC)
endforeach()

# Man pages and changelogs are compressed as Debian keeps them (no name or time in the header,
# so the same input gives the same bytes).
set(KOLVA_MAN_PAGES kolva kolva-build kolva-search kolva-import)
set(kolva_gzipped)
foreach(page ${KOLVA_MAN_PAGES})
  list(APPEND kolva_gzip_jobs docs/man/${page}.1 ${KOLVA_PACKAGE_STAGE}/man/${page}.1.gz)
endforeach()
list(APPEND kolva_gzip_jobs cmake/debian/changelog ${KOLVA_PACKAGE_STAGE}/changelog.gz)
while(kolva_gzip_jobs)
  list(POP_FRONT kolva_gzip_jobs input output)
  get_filename_component(folder ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/${input} > ${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/${input}
    VERBATIM)
  list(APPEND kolva_gzipped ${output})
endwhile()
add_custom_target(kolva_package_files ALL DEPENDS ${kolva_gzipped})

# kolva: the reader's package.
set(kolva_opt opt/kolva)
install(TARGETS ${KOLVA_PROGRAMS} DESTINATION ${kolva_opt} COMPONENT reader EXCLUDE_FROM_ALL)
install(FILES resources/help.html DESTINATION ${kolva_opt} COMPONENT reader EXCLUDE_FROM_ALL)
list(TRANSFORM KOLVA_PROGRAMS PREPEND ${KOLVA_PACKAGE_STAGE}/bin/ OUTPUT_VARIABLE kolva_links)
install(FILES ${kolva_links} DESTINATION usr/bin COMPONENT reader EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_PACKAGE_STAGE}/kolva.desktop DESTINATION usr/share/applications
        COMPONENT reader EXCLUDE_FROM_ALL)
foreach(size 48 128)
  install(FILES resources/pictures/kolva-${size}.png
          DESTINATION usr/share/icons/hicolor/${size}x${size}/apps RENAME kolva.png
          COMPONENT reader EXCLUDE_FROM_ALL)
endforeach()
list(TRANSFORM KOLVA_MAN_PAGES PREPEND ${KOLVA_PACKAGE_STAGE}/man/ OUTPUT_VARIABLE kolva_man)
list(TRANSFORM kolva_man APPEND .1.gz)
install(FILES ${kolva_man} DESTINATION usr/share/man/man1 COMPONENT reader EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_METAINFO} DESTINATION usr/share/metainfo COMPONENT reader EXCLUDE_FROM_ALL)
install(FILES docs/collection-format.md ${KOLVA_PACKAGE_STAGE}/changelog.gz
        DESTINATION usr/share/doc/kolva COMPONENT reader EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_DEBIAN_DIR}/copyright DESTINATION usr/share/doc/kolva
        COMPONENT reader EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_DEBIAN_DIR}/kolva.lintian-overrides DESTINATION usr/share/lintian/overrides
        RENAME kolva COMPONENT reader EXCLUDE_FROM_ALL)

# kolva-sample: the sample collection that the sample step built into bin/.
set(kolva_sample_files Index-fl.h Index-fl.cnt Index-idx.h Index-idx.m Index_desc-idx.h
    Index_desc-idx.m Index_content-idx.h Index_content-idx.m yitizi.txt kolva.dir)
list(TRANSFORM kolva_sample_files PREPEND ${CMAKE_BINARY_DIR}/bin/)
install(FILES ${kolva_sample_files} DESTINATION ${kolva_opt} COMPONENT sample EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_PACKAGE_STAGE}/changelog.gz DESTINATION usr/share/doc/kolva-sample
        COMPONENT sample EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_DEBIAN_DIR}/copyright-sample DESTINATION usr/share/doc/kolva-sample
        RENAME copyright COMPONENT sample EXCLUDE_FROM_ALL)
install(FILES ${KOLVA_DEBIAN_DIR}/kolva-sample.lintian-overrides
        DESTINATION usr/share/lintian/overrides RENAME kolva-sample COMPONENT sample EXCLUDE_FROM_ALL)

# CPack's Debian generator: one package per component, control data from here, dependencies of
# the programs from dpkg-shlibdeps. Descriptions are plain text: the first line is the synopsis,
# an empty line separates paragraphs, and CPack writes them in the control file's form.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kolva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KOLVA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL reader sample)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KOLVA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KOLVA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_READER_PACKAGE_NAME kolva)
set(CPACK_DEBIAN_READER_PACKAGE_SECTION text)
set(CPACK_DEBIAN_READER_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries (whose packages bring the browser engine's helper process): the desktop
# platform plugin, and the faces the pages and the keyword box ask for (Hanazono has the rare
# characters).
set(CPACK_DEBIAN_READER_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, fonts-hanazono")
set(CPACK_DEBIAN_READER_PACKAGE_RECOMMENDS "kolva-sample, xdg-utils")
set(CPACK_COMPONENT_READER_DESCRIPTION
   "reader and full-text search for Chinese and Japanese texts
A reader and full-text search tool for a multi-volume collection of Chinese
and Japanese texts: a contents tree of categories, books and volumes, pages
read one by one, and search by phrases with wildcards, AND or OR, variant
characters (simplified, traditional and Japanese forms), limited to part of
the contents and to whole text, main text or notes.

The reader opens the collection in /opt/kolva. kolva-import turns plain
text, EPUB, TEI and Aozora Bunko files into a collection source; kolva-build
makes a collection from it; kolva-search searches one from the command line.
The sample collection is in the package kolva-sample.")

set(CPACK_DEBIAN_SAMPLE_PACKAGE_NAME kolva-sample)
set(CPACK_DEBIAN_SAMPLE_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_SAMPLE_PACKAGE_SECTION text)
set(CPACK_DEBIAN_SAMPLE_PACKAGE_ENHANCES kolva)
set(CPACK_DEBIAN_SAMPLE_PACKAGE_CONTROL_EXTRA ${KOLVA_DEBIAN_DIR}/sample/preinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_SAMPLE_DESCRIPTION
   "sample collection of Tang and Song poems for the Kolva reader
The poems of Tang and Song of Debian's fortunes-zh as a collection for the
Kolva reader: three hundred Tang poems (also in traditional characters), a
hundred Song poems and a selection of ci, with a table of variant characters
made from opencc's tables. Installs into /opt/kolva, where the reader looks.")

include(CPack)

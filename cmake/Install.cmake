# SPDX-License-Identifier: MIT
# What `make install` (cmake --install) and `make deb` (CPack) put where.
#
# The window program tells an installed copy from a portable one by the layout alone: a bin/
# folder with share/varlen/ beside it (app/Places.h). So the programs go to bin/ and the data to
# share/ under the prefix, whatever GNUInstallDirs would choose.
set(VARLEN_INSTALL_BINDIR bin)
set(VARLEN_INSTALL_DATADIR share)
# The date of the release PROJECT_VERSION names, for the manual pages, the software centre and the
# Debian changelog.
set(VARLEN_RELEASE_DATE 2026-12-07)

# Every installed file belongs to the component of the Debian package that carries it:
#   varlen         the window, its help file, menu entry, icons, software-centre entry and manual
#   varlen-cli     the command-line tool, its manual and shell completion (no Qt)
#   libvarlen<N>   the shared library, named after its soname's version, and the vector module,
#                  which both programs load too
#   libvarlen-dev  what building against libvarlen takes: headers, the static library, the
#                  unversioned link, varlen.pc, the CMake package and the example
set(VARLEN_WINDOW_COMPONENT varlen)
set(VARLEN_CLI_COMPONENT varlen-cli)
set(VARLEN_DEV_COMPONENT libvarlen-dev)
if(TARGET libvarlen_shared)
  # Named after the library's own soname version, whatever sets it.
  get_target_property(varlen_soversion libvarlen_shared SOVERSION)
  set(VARLEN_LIBRARY_COMPONENT libvarlen${varlen_soversion})
else()
  set(VARLEN_LIBRARY_COMPONENT libvarlen)
endif()

# Builds every file that is installed and nothing else (no tests, no benchmarks), for
# `make install` and `make deb`. Whatever gets an install() rule adds its target here.
add_custom_target(varlen_install_files)

foreach(program varlen varlen-cli)
  if(TARGET ${program})
    set(component ${VARLEN_WINDOW_COMPONENT})
    if(program STREQUAL varlen-cli)
      set(component ${VARLEN_CLI_COMPONENT})
    endif()
    install(TARGETS ${program} RUNTIME DESTINATION ${VARLEN_INSTALL_BINDIR} COMPONENT ${component})
    add_dependencies(varlen_install_files ${program})
  endif()
endforeach()

# The modules (vector files, reading back), where the programs and the shared library look for them:
# lib/varlen beside bin/ (a private folder, as Debian's policy has it for modules that no other
# program links).
foreach(module varlen_vector_module varlen_reader_module)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${VARLEN_MODULE_DIR} COMPONENT ${VARLEN_LIBRARY_COMPONENT})
    add_dependencies(varlen_install_files ${module})
  endif()
endforeach()

# libvarlen: the shared library (with its version links) and the static one in lib/, the
# interface's headers under include/varlen/, varlen.pc for pkg-config, the CMake package, and the
# example programs' sources. The
# unversioned link libvarlen.so is for the linker only, so it goes with the headers.
if(TARGET libvarlen_shared)
  install(TARGETS libvarlen_shared
    LIBRARY DESTINATION lib COMPONENT ${VARLEN_LIBRARY_COMPONENT} NAMELINK_COMPONENT ${VARLEN_DEV_COMPONENT})
  install(TARGETS libvarlen_static ARCHIVE DESTINATION lib COMPONENT ${VARLEN_DEV_COMPONENT})
  # The static library without its debugging sections, as a package ships it (25 MB with them).
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/$<TARGET_FILE_NAME:libvarlen_static>\")
  endif()" COMPONENT ${VARLEN_DEV_COMPONENT})
  install(FILES ${VARLEN_PUBLIC_HEADERS} DESTINATION include/varlen COMPONENT ${VARLEN_DEV_COMPONENT})
  install(FILES ${PROJECT_BINARY_DIR}/lib/varlen.pc DESTINATION lib/pkgconfig COMPONENT ${VARLEN_DEV_COMPONENT})
  install(FILES ${PROJECT_BINARY_DIR}/lib/varlenConfig.cmake ${PROJECT_BINARY_DIR}/lib/varlenConfigVersion.cmake
          DESTINATION lib/cmake/varlen COMPONENT ${VARLEN_DEV_COMPONENT})
  install(FILES ${PROJECT_SOURCE_DIR}/lib/example/write_png.cpp ${PROJECT_SOURCE_DIR}/lib/example/write_png.c
          ${PROJECT_SOURCE_DIR}/lib/example/CMakeLists.txt
          DESTINATION ${VARLEN_INSTALL_DATADIR}/doc/varlen/examples COMPONENT ${VARLEN_DEV_COMPONENT})
  add_dependencies(varlen_install_files libvarlen_shared libvarlen_static)
endif()

if(TARGET varlen)
  install(FILES ${PROJECT_SOURCE_DIR}/app/VARLEN.HLP DESTINATION ${VARLEN_INSTALL_DATADIR}/varlen
          COMPONENT ${VARLEN_WINDOW_COMPONENT})
  add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)
endif()

# ---- The Debian packages: `cpack -G DEB` in the build folder, installed under /usr ----

# What every package carries in /usr/share/doc/<package>/: the machine-readable copyright file
# (our licence, and those of the libraries linked statically into varlen-cli) and the changelog.
# `make install` puts the window's copy in share/doc/varlen/ and leaves the others out.
find_program(VARLEN_GZIP gzip REQUIRED)
execute_process(COMMAND date -u -d ${VARLEN_RELEASE_DATE} "+%a, %d %b %Y 00:00:00 +0000"
                OUTPUT_VARIABLE VARLEN_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE)
set(VARLEN_SOVERSION ${varlen_soversion})
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND ${VARLEN_GZIP} -9nf -k ${PROJECT_BINARY_DIR}/debian/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(varlen_debian_files ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
add_dependencies(varlen_install_files varlen_debian_files)

set(VARLEN_PACKAGES)
foreach(component ${VARLEN_WINDOW_COMPONENT} ${VARLEN_CLI_COMPONENT} ${VARLEN_LIBRARY_COMPONENT} ${VARLEN_DEV_COMPONENT})
  set(only_packaged EXCLUDE_FROM_ALL)
  if(component STREQUAL VARLEN_WINDOW_COMPONENT)
    set(only_packaged)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${VARLEN_INSTALL_DATADIR}/doc/${component} COMPONENT ${component} ${only_packaged})
  list(APPEND VARLEN_PACKAGES ${component})
endforeach()
# lintian's verdicts we stand by, each with its reason in the file.
install(FILES ${PROJECT_SOURCE_DIR}/data/varlen-cli.lintian-overrides DESTINATION ${VARLEN_INSTALL_DATADIR}/lintian/overrides
        RENAME varlen-cli COMPONENT ${VARLEN_CLI_COMPONENT} EXCLUDE_FROM_ALL)

# Every package's description names every symbology.
set(VARLEN_SYMBOLOGIES "EAN-8, EAN-13, UPC-A, UPC-E, Bookland (ISBN), Code 39, Interleaved 2 of 5, \
Codabar, Code 128 (tables A, B and C), MSI Plessey, Postnet (5, 9 and 11 digits), FIM, GS1-128, \
ITF-14, QR Code, Data Matrix, GS1 DataMatrix, GS1 QR and GS1 Digital Link QR")
set(VARLEN_FILE_TYPES "BMP, GIF, TIFF, JPEG, PNG, SVG, PDF, EPS or EMF")

set(CPACK_PACKAGE_NAME varlen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Varlen developers")
set(CPACK_PACKAGE_CONTACT "Varlen maintainers <maintainers@varlen.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${VARLEN_PACKAGES})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The dependencies are the packages of the shared libraries each package's programs link
# (dpkg-shlibdeps), and the packages of its components below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

string(TOUPPER ${VARLEN_LIBRARY_COMPONENT} library)
string(TOUPPER ${VARLEN_DEV_COMPONENT} dev)
# Each package is named after its component (CPack would put the project's name in front).
foreach(component IN LISTS VARLEN_PACKAGES)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${component})
endforeach()

# The programs load the vector module of libvarlen<N> for PDF and EPS. Liberation Sans is what
# fontconfig gives for the default font "Arial", so the symbols' text looks as intended.
set(CPACK_COMPONENT_VARLEN_DEPENDS ${VARLEN_LIBRARY_COMPONENT})
set(CPACK_COMPONENT_VARLEN-CLI_DEPENDS ${VARLEN_LIBRARY_COMPONENT})
set(CPACK_COMPONENT_${dev}_DEPENDS ${VARLEN_LIBRARY_COMPONENT})
set(CPACK_DEBIAN_VARLEN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_VARLEN-CLI_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_${library}_PACKAGE_RECOMMENDS fonts-liberation)
# varlen.pc names these for static linking (Requires.private), and pkg-config wants them present.
set(CPACK_DEBIAN_${dev}_PACKAGE_DEPENDS "libfreetype-dev, libfontconfig-dev, zlib1g-dev, libjpeg-dev")
set(CPACK_DEBIAN_${library}_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_${dev}_PACKAGE_SECTION libdevel)
# libvarlen.so.N in /usr/lib: the package declares it (shlibs) and has the linker's cache updated
# (a trigger; CPack also writes maintainer scripts that call ldconfig for it).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_${library}_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/triggers)
# The library loads the encoders of QR Code and Data Matrix on first use (engine/QRCode.cpp,
# engine/DataMatrix.cpp), so no file names them and dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_${library}_PACKAGE_DEPENDS "libqrencode4, libdmtx0b")

# A Debian description: the summary, then the paragraphs wrapped at 72 columns, as the packages'
# tools want them (lines under 80 columns, an empty line between paragraphs).
function(varlen_deb_description out summary)
  set(text "${summary}")
  set(first TRUE)
  foreach(paragraph IN LISTS ARGN)
    if(NOT first)
      string(APPEND text "\n")
    endif()
    set(first FALSE)
    string(REPLACE " " ";" words "${paragraph}")
    set(line "")
    foreach(word IN LISTS words)
      string(LENGTH "${line} ${word}" length)
      if(line STREQUAL "")
        set(line "${word}")
      elseif(length GREATER 72)
        string(APPEND text "\n${line}")
        set(line "${word}")
      else()
        string(APPEND line " ${word}")
      endif()
    endforeach()
    string(APPEND text "\n${line}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(symbologies "Symbologies: ${VARLEN_SYMBOLOGIES}.")
set(library_text "libvarlen encodes, measures and draws barcodes into bitmaps and vector pages \
and gives the bytes of ${VARLEN_FILE_TYPES} files, without a graphical toolkit.")
varlen_deb_description(CPACK_DEBIAN_VARLEN_DESCRIPTION "barcode generator for the desktop"
  "Varlen draws a barcode while its data is typed, and saves it as a ${VARLEN_FILE_TYPES} file, \
copies it to the clipboard or prints it at its true size."
  "${symbologies}"
  "This package holds the window program; varlen-cli draws the same barcodes without a window.")
varlen_deb_description(CPACK_DEBIAN_VARLEN-CLI_DESCRIPTION "command-line barcode generator"
  "varlen-cli draws barcodes without a window, one at a time or a whole list in one run, as \
${VARLEN_FILE_TYPES} files, on standard output or on the default printer. It refuses data that \
would become a different symbol, and needs no graphical toolkit, so it suits servers and scripts."
  "${symbologies}")
varlen_deb_description(CPACK_DEBIAN_${library}_DESCRIPTION "barcode library of Varlen"
  "${library_text}" "${symbologies}"
  "This package holds the shared library and the module for PDF and EPS files, which \
Varlen's programs load too.")
varlen_deb_description(CPACK_DEBIAN_${dev}_DESCRIPTION "barcode library of Varlen - development files"
  "${library_text}" "${symbologies}"
  "This package holds the headers, the static library, the pkg-config file and an example program.")
include(CPack)

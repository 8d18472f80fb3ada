# What `make install` (cmake --install) and `make deb` (CPack) put where.
#
# The window program tells an installed copy from a portable one by the layout alone: a bin/
# folder with share/varlen/ beside it (app/Places.h). So the programs go to bin/ and the data to
# share/ under the prefix, whatever GNUInstallDirs would choose.
set(VARLEN_INSTALL_BINDIR bin)
set(VARLEN_INSTALL_DATADIR share)

# Builds every file that is installed and nothing else (no tests, no benchmarks), for
# `make install` and `make deb`. Whatever gets an install() rule adds its target here.
add_custom_target(varlen_install_files)

foreach(program varlen varlen-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${VARLEN_INSTALL_BINDIR})
    add_dependencies(varlen_install_files ${program})
  endif()
endforeach()

# The modules (vector files, reading back), where the programs look for them: lib/varlen beside bin/.
foreach(module varlen_vector_module varlen_reader_module)
  if(TARGET ${module})
    install(TARGETS ${module} LIBRARY DESTINATION ${VARLEN_MODULE_DIR})
    add_dependencies(varlen_install_files ${module})
  endif()
endforeach()

# libvarlen: the shared library (with its version links) and the static one in lib/, the API's
# headers under include/varlen/, varlen.pc for pkg-config, and the example program's source. The
# modules in lib/varlen/ are where the shared library looks for them too.
if(TARGET libvarlen_shared)
  install(TARGETS libvarlen_shared libvarlen_static LIBRARY DESTINATION lib ARCHIVE DESTINATION lib)
  install(FILES ${PROJECT_SOURCE_DIR}/lib/varlen.h DESTINATION include/varlen)
  foreach(header IN LISTS VARLEN_PUBLIC_HEADERS)
    get_filename_component(folder ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION include/varlen/${folder})
  endforeach()
  install(FILES ${PROJECT_BINARY_DIR}/lib/varlen.pc DESTINATION lib/pkgconfig)
  install(FILES ${PROJECT_SOURCE_DIR}/lib/example/write_png.cpp DESTINATION ${VARLEN_INSTALL_DATADIR}/doc/varlen/examples)
  add_dependencies(varlen_install_files libvarlen_shared libvarlen_static)
endif()

if(TARGET varlen)
  install(FILES ${PROJECT_SOURCE_DIR}/app/VARLEN.HLP DESTINATION ${VARLEN_INSTALL_DATADIR}/varlen)
  add_subdirectory(${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/data)
endif()

# The Debian package: `cpack -G DEB` in the build folder, installed under /usr. Its dependencies are
# the packages of the shared libraries the programs link (dpkg-shlibdeps); Liberation Sans is what
# fontconfig gives for the default font "Arial", so the symbols' text looks as intended.
set(CPACK_PACKAGE_NAME varlen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Varlen authors")
set(CPACK_PACKAGE_CONTACT "Varlen maintainers <maintainers@varlen.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "barcode generator with a window and a command-line tool")
set(CPACK_PACKAGE_DESCRIPTION
  "Varlen draws EAN-8, EAN-13, UPC-A, UPC-E, Code 39, Interleaved 2 of 5, Codabar, Code 128, \
Postnet, MSI Plessey and Bookland (ISBN) barcodes while the data is typed, saves them as BMP, \
GIF, TIFF, JPEG, PNG, SVG, PDF, EPS or EMF files, copies them to the clipboard and prints them at \
their true size. varlen-cli draws the same barcodes without a window, one at a time or a list \
in one run.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libvarlen.so.1 in /usr/lib: the package declares it and has the linker's cache updated.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
include(CPack)

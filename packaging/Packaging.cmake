# The user's help and the packages, made by CPack from this project:
#
#   Windows builds: cpack -G ZIP  ->  Quorvy-<version>-win32.zip, Quorvy-<version>-win64.zip
#                   Quorvy.exe with DOCS/ and web/ (the web page) beside it and a plain-text
#                   README.txt
#   native build:   cpack -G DEB  ->  quorvy_<version>_<arch>.deb
#                   quorvy-plot, both Quorvy.exe (lib/quorvy/win32, lib/quorvy/win64) with
#                   their DOCS, the web page (share/quorvy/web), the quorvy launcher (Wine),
#                   man pages, a desktop entry and icon
#
# The help's pictures are drawn by quorvy-plot, so only the native build can make them: it
# assembles the complete help (pages and pictures) in <native build>/DOCS, and both packages ship
# that folder. The pictures are drawn again whenever quorvy-plot or the pages change, so they
# always show what the program draws; the copy kept in the source tree's DOCS/pictures (so that
# the page reads whole there too) is checked against them by the help's tests.
#
# Included from CMakeLists.txt in the Windows branch and at the end of the native branch.

# One version for the program, quorvy-plot and the packages.
set(QUORVY_PACKAGE_VERSION "${PROJECT_VERSION}")
set(QUORVY_MAINTAINER "The Quorvy developers <dev@quorvy.invalid>")

set(CPACK_PACKAGE_NAME "Quorvy")
set(CPACK_PACKAGE_VENDOR "The Quorvy developers")
set(CPACK_PACKAGE_VERSION "${QUORVY_PACKAGE_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "plotter for functions of one real variable")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  set(QUORVY_NATIVE_BUILD "${CMAKE_SOURCE_DIR}/build/native" CACHE PATH
      "Folder of the native build, whose DOCS folder (the help with its pictures) the zip ships")

  install(TARGETS Quorvy RUNTIME DESTINATION .)
  # The help comes from the native build, which must have been built first. Without
  # quorvy-plot it has no pictures yet; the package tests (registered with quorvy-plot) check
  # that the zip holds every picture the pages show.
  install(CODE "
    if(NOT EXISTS \"${QUORVY_NATIVE_BUILD}/DOCS/index.html\")
      message(FATAL_ERROR \"The help is missing from ${QUORVY_NATIVE_BUILD}/DOCS: build the \"
                          \"native flavour before packaging.\")
    endif()
    if(NOT EXISTS \"${QUORVY_NATIVE_BUILD}/DOCS/pictures\")
      message(WARNING \"The help in ${QUORVY_NATIVE_BUILD}/DOCS has no pictures: that build \"
                      \"has no quorvy-plot to draw them with.\")
    endif()")
  install(DIRECTORY "${QUORVY_NATIVE_BUILD}/DOCS/" DESTINATION DOCS)
  # The web page, beside DOCS as in the Debian package: the help links to it there.
  install(FILES "${QUORVY_NATIVE_BUILD}/web/index.html" DESTINATION web OPTIONAL)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUORVY_FLAVOUR_TEXT "This is the 64-bit program, for 64-bit Windows (and Wine without 32-bit code).")
  else()
    set(QUORVY_FLAVOUR_TEXT "This is the 32-bit program; it runs on 32-bit and 64-bit Windows (and Wine).")
  endif()
  # Windows readers expect CRLF line ends in a plain-text file.
  configure_file(${CMAKE_SOURCE_DIR}/packaging/README.txt ${CMAKE_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "Quorvy-${QUORVY_PACKAGE_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "Quorvy-${QUORVY_PACKAGE_VERSION}-win32")
  endif()
  include(CPack)
  return()
endif()

# ------------------------------------------------------------------------------------------
# Native build: the help, the Debian package and their tests. They run at the end of the
# top-level directory, once every target (quorvy-plot among them) is known.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(QUORVY_DOCS_DIR ${CMAKE_BINARY_DIR}/DOCS)
set(QUORVY_PACKAGE_FILES ${CMAKE_BINARY_DIR}/packaging)

# The help: its pages, and its pictures when quorvy-plot is part of the build.
function(quorvy_docs)
  file(GLOB pages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/DOCS/*.html)
  set(args --pages ${CMAKE_SOURCE_DIR}/DOCS --out ${QUORVY_DOCS_DIR}
           --stamp ${CMAKE_BINARY_DIR}/docs.stamp)
  set(depends ${pages} ${CMAKE_SOURCE_DIR}/packaging/make_docs.py)
  if(TARGET quorvy-plot)
    list(APPEND args --plot $<TARGET_FILE:quorvy-plot>)
    list(APPEND depends quorvy-plot)
  else()
    message(STATUS "quorvy-plot is not part of this build: the help is assembled without its "
                   "pictures, and its picture tests and the package tests are left out")
  endif()
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/docs.stamp
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/packaging/make_docs.py ${args}
    DEPENDS ${depends}
    COMMENT "Assembling the help in DOCS and drawing its pictures"
    VERBATIM)
  add_custom_target(quorvy_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/docs.stamp)
endfunction()

# Files of the Debian package made at build time: the icon as PNG, the gzipped man pages and
# changelog.
function(quorvy_package_files)
  set(make ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/packaging/package_files.py)
  set(dir ${QUORVY_PACKAGE_FILES})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${dir}/changelog @ONLY)
  set(outputs ${dir}/quorvy.png ${dir}/changelog.gz)
  add_custom_command(OUTPUT ${dir}/quorvy.png
    COMMAND ${make} icon ${CMAKE_SOURCE_DIR}/app/res/quorvy.ico ${dir}/quorvy.png
    DEPENDS ${CMAKE_SOURCE_DIR}/app/res/quorvy.ico ${CMAKE_SOURCE_DIR}/packaging/package_files.py
    VERBATIM)
  add_custom_command(OUTPUT ${dir}/changelog.gz
    COMMAND ${make} gzip ${dir}/changelog ${dir}/changelog.gz
    DEPENDS ${dir}/changelog ${CMAKE_SOURCE_DIR}/packaging/package_files.py
    VERBATIM)
  # The man pages name quorvy-plot's limits as its source gives them.
  foreach(limit "MAX_SIDE;kMaxSide;Options.h" "LONGEST_SHOWN_TEXT;kLongestShownText;MessageText.h")
    list(GET limit 0 name)
    list(GET limit 1 constant)
    list(GET limit 2 header)
    file(STRINGS ${CMAKE_SOURCE_DIR}/cli/${header} line REGEX "^constexpr [a-z_]+ ${constant} = [0-9]+;")
    string(REGEX REPLACE ".* = ([0-9]+).*" "\\1" QUORVY_${name} "${line}")
  endforeach()
  foreach(page quorvy quorvy-plot)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/${page}.1 ${dir}/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${dir}/${page}.1.gz
      COMMAND ${make} gzip ${dir}/${page}.1 ${dir}/${page}.1.gz
      DEPENDS ${dir}/${page}.1 ${CMAKE_SOURCE_DIR}/packaging/package_files.py
      VERBATIM)
    list(APPEND outputs ${dir}/${page}.1.gz)
  endforeach()
  add_custom_target(quorvy_package_files ALL DEPENDS ${outputs})
endfunction()

# One flavour of Quorvy.exe in lib/quorvy/<label>, stripped with its own toolchain's strip, with
# its help in DOCS and the web page in web beside it: links to the folders under share.
function(quorvy_install_program label target build)
  set(exe lib/quorvy/${label}/Quorvy.exe)
  install(FILES ${build}/Quorvy.exe DESTINATION lib/quorvy/${label})
  find_program(QUORVY_STRIP_${label} ${target}-strip)
  if(QUORVY_STRIP_${label})
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${QUORVY_STRIP_${label}}\"
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${exe}\" COMMAND_ERROR_IS_FATAL ANY)
      endif()")
  endif()
  # The web page beside it too, so that the help's link to ../web works from there.
  foreach(folder DOCS web)
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/quorvy/${label}/${folder}\")
      message(STATUS \"Installing: \${link} -> ../../../share/quorvy/${folder}\")
      file(REMOVE_RECURSE \"\${link}\")
      file(CREATE_LINK ../../../share/quorvy/${folder} \"\${link}\" SYMBOLIC)")
  endforeach()
endfunction()

# What `cmake --install` and the Debian package put where (below the prefix, /usr for the
# package).
function(quorvy_install_rules)
  set(dir ${QUORVY_PACKAGE_FILES})
  install(FILES ${dir}/quorvy-plot.1.gz DESTINATION share/man/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${dir}/changelog.gz
          DESTINATION share/doc/quorvy)
  install(DIRECTORY ${QUORVY_DOCS_DIR}/ DESTINATION share/quorvy/DOCS)
  if(NOT QUORVY_WIN32_BUILD OR NOT QUORVY_WIN64_BUILD)
    message(STATUS "QUORVY_WIN32_BUILD or QUORVY_WIN64_BUILD is not set: the Debian package "
                   "holds no Quorvy.exe")
    return()
  endif()
  install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/quorvy DESTINATION bin)
  install(FILES ${dir}/quorvy.1.gz DESTINATION share/man/man1)
  quorvy_install_program(win32 i686-w64-mingw32 ${QUORVY_WIN32_BUILD})
  quorvy_install_program(win64 x86_64-w64-mingw32 ${QUORVY_WIN64_BUILD})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvy.desktop DESTINATION share/applications)
  install(FILES ${dir}/quorvy.png DESTINATION share/icons/hicolor/32x32/apps)
endfunction()

# The tests of the help and of the packages, with CTest.
function(quorvy_docs_tests)
  set(tests ${CMAKE_SOURCE_DIR}/tests/docs)
  set(pictures 0)
  if(TARGET quorvy-plot)
    set(pictures 1)
  endif()
  # No byte-code caches in the source tree from the tests' shared modules.
  set(env QUORVY_SOURCE=${CMAKE_SOURCE_DIR} QUORVY_DOCS=${QUORVY_DOCS_DIR}
          QUORVY_DOCS_PICTURES=${pictures} PYTHONPATH=${CMAKE_SOURCE_DIR}/scripts
          PYTHONDONTWRITEBYTECODE=1)
  add_test(NAME docs_help COMMAND ${Python3_EXECUTABLE} ${tests}/test_help.py -v)
  add_test(NAME docs_browser COMMAND ${Python3_EXECUTABLE} ${tests}/test_browser.py -v)
  set_tests_properties(docs_help docs_browser PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600
    LABELS docs SKIP_RETURN_CODE 77)
  if(NOT pictures OR NOT QUORVY_WIN32_BUILD OR NOT QUORVY_WIN64_BUILD)
    return()
  endif()
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(deb ${CMAKE_BINARY_DIR}/quorvy_${QUORVY_PACKAGE_VERSION}_${arch}.deb)
  set(script ${tests}/test_packages.py)
  set(env QUORVY_DEB=${deb} QUORVY_PACKAGE_VERSION=${QUORVY_PACKAGE_VERSION}
          PYTHONPATH=${CMAKE_SOURCE_DIR}/scripts PYTHONDONTWRITEBYTECODE=1)
  # The Debian package as files; then, for each flavour that runs here, its zip and the
  # package's launcher starting that flavour.
  add_test(NAME packages COMMAND ${Python3_EXECUTABLE} ${script} -v DebianPackage)
  set_tests_properties(packages PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600 LABELS packages
    SKIP_RETURN_CODE 77)
  foreach(flavour IN LISTS QUORVY_WINDOWS_RUN_LIST)
    set(build ${QUORVY_WIN${flavour}_BUILD})
    add_test(NAME packages_win${flavour}
             COMMAND ${Python3_EXECUTABLE} ${script} -v WindowsZip DebianLauncher)
    set_tests_properties(packages_win${flavour} PROPERTIES TIMEOUT 1200 LABELS "packages;wine"
      COST 300 SKIP_RETURN_CODE 77 FIXTURES_REQUIRED wine_prefix_win${flavour}
      ENVIRONMENT "${env};QUORVY_WINDOWS_BUILD=${build};QUORVY_WINDOWS_FLAVOUR=${flavour};\
QUORVY_ZIP=${build}/Quorvy-${QUORVY_PACKAGE_VERSION}-win${flavour}.zip;\
${QUORVY_WINE_FIXTURE_ENV_${flavour}}")
  endforeach()
endfunction()

function(quorvy_native_packaging)
  quorvy_docs()
  quorvy_package_files()
  quorvy_install_rules()
  quorvy_docs_tests()
endfunction()
cmake_language(DEFER CALL quorvy_native_packaging)

set(CPACK_GENERATOR DEB)
# The long description, wrapped for the package manager (lines of at most 79 characters).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Quorvy draws a formula in X, such as 2SIN(X)*X or LOG(X)+X/2, as a cloud of\n"
  "points across a chosen range, marks in red where the formula has no value,\n"
  "and shows the smallest and largest value of the curve. It exports the\n"
  "sampled values for a spreadsheet and prints the plot.\n"
  "\n"
  "This package holds Quorvy.exe with its HTML help, the quorvy command that\n"
  "starts it under Wine, and quorvy-plot, which draws formulas to PNG, SVG or\n"
  "PDF files, value tables and curve facts without a window.")
set(CPACK_DEBIAN_PACKAGE_NAME quorvy)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVY_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The quorvy launcher starts the 32-bit Quorvy.exe where the system runs it (wine32, only
# recommended, so that no i386 architecture is needed), else the 64-bit one (wine64).
# fonts-wine draws the window's caption buttons. The libraries of quorvy-plot (Cairo, the C and
# C++ runtimes) are found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "wine, wine64, fonts-wine")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine32")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)

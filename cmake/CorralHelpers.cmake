# Shared build settings and the helpers every folder uses to declare its
# libraries, tests and install rules the same way.

set(CORRAL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corral)
set(CORRAL_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installed binaries find the project's libraries relative to themselves, so a
# prefix works wherever it is installed, copied or unpacked, without
# LD_LIBRARY_PATH: libraries look beside themselves, tools in the library
# folder as seen from the tool folder.
file(RELATIVE_PATH corral_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(CORRAL_LIBRARY_RPATH "$ORIGIN")
set(CORRAL_TOOL_RPATH "$ORIGIN/${corral_bin_to_lib}")

add_library(corral_warnings INTERFACE)
target_compile_options(corral_warnings INTERFACE -Wall -Wextra -Wpedantic
                       $<$<BOOL:${CORRAL_WERROR}>:-Werror>)

add_library(corral_sanitizers INTERFACE)
if(CORRAL_SANITIZE)
  target_compile_options(corral_sanitizers INTERFACE
                         -fsanitize=address,undefined -fno-sanitize-recover=undefined
                         -fno-omit-frame-pointer)
  target_link_options(corral_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# corral_add_library(<name> EXPORT_MACRO_BASE <BASE> EXPORT_HEADER <dir/File.h>
#                    INCLUDE_DIR <dir> SOURCES ... [PUBLIC_LINK ...] [PRIVATE_LINK ...]
#                    [OUTPUT_NAME <file name>] [EXPORT_NAME <name>]
#                    PKG_CONFIG <name> DESCRIPTION <text>)
#
# Builds <name>_objects, an object library holding every source compiled with
# hidden visibility, and <name>, the shared library made of those objects.
# Tests link the object library so that they can reach library-internal
# functions; everything else links the shared library. The export header is
# generated at EXPORT_HEADER below the build tree's include folder.
#
# The library is installed with its headers, exported as Corral::<EXPORT_NAME>
# (default: <name>), which is also an alias in the build tree and the name of
# its component in find_package(Corral COMPONENTS ...), and described by the
# pkg-config file <PKG_CONFIG>.pc, which requires the files of the PUBLIC_LINK
# libraries.
function(corral_add_library name)
  cmake_parse_arguments(ARG ""
                        "EXPORT_MACRO_BASE;EXPORT_HEADER;INCLUDE_DIR;OUTPUT_NAME;EXPORT_NAME;PKG_CONFIG;DESCRIPTION"
                        "SOURCES;PUBLIC_LINK;PRIVATE_LINK" ${ARGN})
  foreach(required PKG_CONFIG DESCRIPTION)
    if(NOT ARG_${required})
      message(FATAL_ERROR "corral_add_library(${name}) needs ${required}")
    endif()
  endforeach()
  if(NOT ARG_EXPORT_NAME)
    set(ARG_EXPORT_NAME ${name})
  endif()
  add_library(${name}_objects OBJECT ${ARG_SOURCES})
  add_library(${name} SHARED $<TARGET_OBJECTS:${name}_objects>)
  # Library-internal headers live beside the sources; whatever links the
  # object library (the tests) sees them too, the shared library's users do not.
  if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_include_directories(${name}_objects PUBLIC
                               $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/src>)
  endif()
  generate_export_header(${name}
    BASE_NAME ${ARG_EXPORT_MACRO_BASE}
    EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/generated/${ARG_EXPORT_HEADER})
  target_compile_definitions(${name}_objects PRIVATE ${name}_EXPORTS)
  foreach(target ${name}_objects ${name})
    target_include_directories(${target} PUBLIC
      $<BUILD_INTERFACE:${ARG_INCLUDE_DIR}>
      $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}/generated>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LINK} PRIVATE ${ARG_PRIVATE_LINK})
    # Every header needs C++20; consumers of the installed targets get it too.
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:corral_warnings>
                                            $<BUILD_INTERFACE:corral_sanitizers>)
  endforeach()
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION}
                                           SOVERSION ${PROJECT_VERSION_MAJOR}
                                           EXPORT_NAME ${ARG_EXPORT_NAME}
                                           INSTALL_RPATH "${CORRAL_LIBRARY_RPATH}"
                                           CORRAL_PKG_CONFIG ${ARG_PKG_CONFIG})
  add_library(Corral::${ARG_EXPORT_NAME} ALIAS ${name})
  set_property(GLOBAL APPEND PROPERTY CORRAL_COMPONENTS ${ARG_EXPORT_NAME})
  install(TARGETS ${name} EXPORT CorralTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${ARG_INCLUDE_DIR}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/generated/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  corral_write_pkg_config(${name} ${ARG_PKG_CONFIG} "${ARG_DESCRIPTION}" "${ARG_PUBLIC_LINK}")
endfunction()

# corral_write_pkg_config(<target> <pc name> <description> <public links>):
# the pkg-config file of one library. Its prefix is found from the file's own
# place, so it stays right wherever the prefix is installed or unpacked.
function(corral_write_pkg_config target pc_name description public_links)
  set(requires)
  foreach(dependency ${public_links})
    if(TARGET ${dependency})
      get_target_property(dependency_pc ${dependency} CORRAL_PKG_CONFIG)
      if(dependency_pc)
        list(APPEND requires ${dependency_pc})
      endif()
    endif()
  endforeach()
  list(JOIN requires ", " PC_REQUIRES)
  file(RELATIVE_PATH PC_PREFIX_FROM_PCFILEDIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
       ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCFILEDIR "${PC_PREFIX_FROM_PCFILEDIR}")
  set(PC_NAME ${pc_name})
  set(PC_DESCRIPTION "${description}")
  get_target_property(PC_LIBRARY ${target} OUTPUT_NAME)
  if(NOT PC_LIBRARY)
    set(PC_LIBRARY ${target})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/library.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/${pc_name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${pc_name}.pc
          DESTINATION ${CORRAL_INSTALL_PKGCONFIGDIR})
endfunction()

# corral_install_tool(<target>): installs a command-line tool of the package,
# exported as Corral::<target> (also an alias in the build tree), with a run
# path that finds the installed libraries.
function(corral_install_tool target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${CORRAL_TOOL_RPATH}")
  install(TARGETS ${target} EXPORT CorralTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  add_executable(Corral::${target} ALIAS ${target})
  set_property(GLOBAL APPEND PROPERTY CORRAL_COMPONENTS ${target})
endfunction()

# corral_install_manual(<file.N> TOOL <target> [HELP <arguments>...]): installs
# a manual page in section N, and tests that it names every option the
# tool's usage text (the tool run with HELP) names.
function(corral_install_manual page)
  cmake_parse_arguments(ARG "" "TOOL" "HELP" ${ARGN})
  get_filename_component(extension ${page} LAST_EXT)
  string(SUBSTRING ${extension} 1 -1 section)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  if(CORRAL_BUILD_TESTS)
    get_filename_component(name ${page} NAME_WE)
    string(REPLACE ";" "\\;" help "${ARG_HELP}")
    add_test(NAME manual_${name}
             COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:${ARG_TOOL}> "-DHELP=${help}"
                     -DMANUAL=${page} -P ${PROJECT_SOURCE_DIR}/cmake/CheckManual.cmake)
  endif()
endfunction()

# corral_add_test(<name> SOURCES ... LINK ...): one GoogleTest executable,
# registered test by test with CTest.
function(corral_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  if(NOT CORRAL_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gmock GTest::gtest_main
                                        corral_warnings corral_sanitizers)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# corral_add_executable(<name> SOURCES ... LINK ...): a program built with the
# project's warnings and sanitizers.
function(corral_add_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} corral_warnings corral_sanitizers)
endfunction()

# corral_install_package(): the CMake package. Its components are the names
# registered by corral_add_library and corral_install_tool.
function(corral_install_package)
  get_property(CORRAL_COMPONENTS GLOBAL PROPERTY CORRAL_COMPONENTS)
  install(EXPORT CorralTargets NAMESPACE Corral:: DESTINATION ${CORRAL_INSTALL_CMAKEDIR})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/CorralConfig.cmake.in
    ${PROJECT_BINARY_DIR}/CorralConfig.cmake INSTALL_DESTINATION ${CORRAL_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/CorralConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/CorralConfig.cmake
                ${PROJECT_BINARY_DIR}/CorralConfigVersion.cmake
                ${PROJECT_SOURCE_DIR}/cmake/CorralPage.cmake
                ${PROJECT_SOURCE_DIR}/cmake/CorralPropertyList.cmake
          DESTINATION ${CORRAL_INSTALL_CMAKEDIR})
endfunction()

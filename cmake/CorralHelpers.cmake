# Shared build settings and the helpers every folder uses to declare its
# libraries, tests and install rules the same way.

set(CORRAL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corral)

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
#                    INCLUDE_DIR <dir> SOURCES ... [PUBLIC_LINK ...] [PRIVATE_LINK ...])
#
# Builds <name>_objects, an object library holding every source compiled with
# hidden visibility, and <name>, the shared library made of those objects.
# Tests link the object library so that they can reach library-internal
# functions; everything else links the shared library. The export header is
# generated at EXPORT_HEADER below the build tree's include folder.
function(corral_add_library name)
  cmake_parse_arguments(ARG "" "EXPORT_MACRO_BASE;EXPORT_HEADER;INCLUDE_DIR;OUTPUT_NAME"
                        "SOURCES;PUBLIC_LINK;PRIVATE_LINK" ${ARGN})
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
    target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:corral_warnings>
                                            $<BUILD_INTERFACE:corral_sanitizers>)
  endforeach()
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
  set_target_properties(${name} PROPERTIES VERSION ${PROJECT_VERSION}
                                           SOVERSION ${PROJECT_VERSION_MAJOR})
  install(TARGETS ${name} EXPORT CorralTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${ARG_INCLUDE_DIR}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/generated/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
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

function(corral_install_package)
  install(EXPORT CorralTargets NAMESPACE Corral:: DESTINATION ${CORRAL_INSTALL_CMAKEDIR})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/CorralConfig.cmake.in
    ${PROJECT_BINARY_DIR}/CorralConfig.cmake INSTALL_DESTINATION ${CORRAL_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/CorralConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/CorralConfig.cmake
                ${PROJECT_BINARY_DIR}/CorralConfigVersion.cmake
                ${PROJECT_SOURCE_DIR}/cmake/CorralPage.cmake
          DESTINATION ${CORRAL_INSTALL_CMAKEDIR})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/corral.pc.in ${PROJECT_BINARY_DIR}/corral.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/corral.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

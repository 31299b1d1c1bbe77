# corral_expand_plist(<target> INPUT <plist> OUTPUT <plist>
#                     [SETTINGS <plist>] [USE_ENVIRONMENT] [ENVIRONMENT <NAME=VALUE>...])
#
# Expands the build-setting references $(NAME) of the property list INPUT
# with macrofill as a build step of <target>, writing OUTPUT in the format
# INPUT has. Definitions come from the SETTINGS property list (a dictionary
# of strings) and, with USE_ENVIRONMENT, from the environment the build runs
# in, the settings file winning; ENVIRONMENT adds definitions to that
# environment (and implies USE_ENVIRONMENT). At least one source of
# definitions is needed.
#
# The step runs again when INPUT, SETTINGS or macrofill change. It does not
# notice a change of the build's own environment: pass such values with
# ENVIRONMENT, or in the settings file, to have them tracked. Relative INPUT
# and SETTINGS paths are taken from the current source folder, a relative
# OUTPUT from the current build folder.
function(corral_expand_plist target)
  cmake_parse_arguments(ARG "USE_ENVIRONMENT" "INPUT;OUTPUT;SETTINGS" "ENVIRONMENT" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "corral_expand_plist(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "corral_expand_plist(${target}): no such target")
  endif()
  if(NOT ARG_INPUT OR NOT ARG_OUTPUT)
    message(FATAL_ERROR "corral_expand_plist(${target}) needs INPUT and OUTPUT")
  endif()
  if(ARG_ENVIRONMENT)
    set(ARG_USE_ENVIRONMENT TRUE)
  endif()
  if(NOT ARG_SETTINGS AND NOT ARG_USE_ENVIRONMENT)
    message(FATAL_ERROR
            "corral_expand_plist(${target}) needs SETTINGS, USE_ENVIRONMENT or ENVIRONMENT")
  endif()
  if(NOT TARGET Corral::macrofill)
    message(FATAL_ERROR "corral_expand_plist(${target}): the target Corral::macrofill is missing")
  endif()

  cmake_path(ABSOLUTE_PATH ARG_INPUT BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  cmake_path(ABSOLUTE_PATH ARG_OUTPUT BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set(command $<TARGET_FILE:Corral::macrofill>)
  set(depends ${ARG_INPUT} $<TARGET_FILE:Corral::macrofill>)
  if(ARG_ENVIRONMENT)
    set(command ${CMAKE_COMMAND} -E env ${ARG_ENVIRONMENT} ${command})
  endif()
  if(ARG_USE_ENVIRONMENT)
    list(APPEND command --use-environment)
  endif()
  if(ARG_SETTINGS)
    cmake_path(ABSOLUTE_PATH ARG_SETTINGS BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND command --build-settings ${ARG_SETTINGS})
    list(APPEND depends ${ARG_SETTINGS})
  endif()
  cmake_path(GET ARG_OUTPUT FILENAME output_name)
  cmake_path(GET ARG_INPUT FILENAME input_name)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT}
    COMMAND ${command} --output ${ARG_OUTPUT} ${ARG_INPUT}
    DEPENDS ${depends}
    COMMENT "Expanding build settings in ${input_name} into ${output_name}"
    VERBATIM)
  target_sources(${target} PRIVATE ${ARG_OUTPUT})
endfunction()

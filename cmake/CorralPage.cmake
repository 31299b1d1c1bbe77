# corral_add_page(<target> SOURCES <file>...)
#
# Builds page code into a loadable page module: a shared module linked
# against Corral whose entry point is declared with PADDOCK_PAGE_MAIN()
# (header "Corral/PaddockPageModule.h"). Run it with
#     corral-host $<TARGET_FILE:<target>> <page document>
function(corral_add_page target)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "corral_add_page(${target}) needs SOURCES")
  endif()
  add_library(${target} MODULE ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE Corral::Corral)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    CXX_STANDARD 20
    CXX_STANDARD_REQUIRED ON
    CXX_VISIBILITY_PRESET hidden)
endfunction()

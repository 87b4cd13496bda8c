# tarvel_add_plugin_module(TARGET OUTPUT_NAME name [WIN32_SUFFIX .ext] [DIRECTORY dir]
#                          EXPORTS_POSIX version-script [EXPORTS_WIN32 def-file]
#                          SOURCES source... LIBS library...)
# One plug-in module of any format, built the same way: no "lib" prefix, the
# module handle and resources linked in, and only the format's entry points
# exported (a linker version script on Linux, which also refuses undefined
# symbols; a module definition file for MinGW). The module lands in
# DIRECTORY (a bundle folder) where one is given.
function(tarvel_add_plugin_module target)
  cmake_parse_arguments(M "" "OUTPUT_NAME;WIN32_SUFFIX;DIRECTORY;EXPORTS_POSIX;EXPORTS_WIN32" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${M_SOURCES})
  target_link_libraries(${target} PRIVATE ${M_LIBS})
  if(TARGET tarvel_resources)
    target_link_libraries(${target} PRIVATE tarvel_resources)
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${M_OUTPUT_NAME})
  if(M_DIRECTORY)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${M_DIRECTORY})
  endif()
  if(WIN32)
    if(NOT M_EXPORTS_WIN32)
      message(FATAL_ERROR "tarvel_add_plugin_module(${target}): no EXPORTS_WIN32 for a Windows build")
    endif()
    target_sources(${target} PRIVATE ${M_EXPORTS_WIN32})
    if(M_WIN32_SUFFIX)
      set_target_properties(${target} PROPERTIES SUFFIX ${M_WIN32_SUFFIX})
    endif()
  else()
    target_link_options(${target} PRIVATE "-Wl,--version-script=${M_EXPORTS_POSIX}" -Wl,--no-undefined)
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${M_EXPORTS_POSIX})
  endif()
endfunction()

# tarvel_define_export(target PUBLIC|PRIVATE|INTERFACE)
# TARVEL_EXPORT marks a module's entry points in the source where the platform
# exports that way (ELF visibility); for MinGW it is empty, as the module
# definition file names them.
function(tarvel_define_export target scope)
  if(WIN32)
    target_compile_definitions(${target} ${scope} "TARVEL_EXPORT=")
  else()
    target_compile_definitions(${target} ${scope} "TARVEL_EXPORT=__attribute__((visibility(\"default\")))")
  endif()
endfunction()

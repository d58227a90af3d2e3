# The loadable effect module: Zelbor.dll on Windows, Zelbor.so natively.
# The exported entry lives in framework/vst/module/ and is compiled only into
# the module (tools that host the effect in-process call CreateEffectInstance
# from zelbor_vst instead). The module exists once the effect library has
# sources.
set(ZELBOR_ENTRY_SOURCE ${PROJECT_SOURCE_DIR}/framework/vst/module/ModuleEntry.cpp)
set(zelbor_have_effect OFF)
if(TARGET zelbor_plugin)
  get_target_property(zelbor_plugin_type zelbor_plugin TYPE)
  if(NOT zelbor_plugin_type STREQUAL "INTERFACE_LIBRARY")
    set(zelbor_have_effect ON)
  endif()
endif()

if(zelbor_have_effect AND EXISTS ${ZELBOR_ENTRY_SOURCE})
  set(module_sources ${ZELBOR_ENTRY_SOURCE})
  if(WIN32)
    list(APPEND module_sources ${PROJECT_SOURCE_DIR}/framework/vst/module/Zelbor.def)
  endif()
  if(COMMAND zelbor_add_image_resources)
    # Windows: PNG resources; elsewhere: the embedded image table.
    zelbor_add_image_resources(module_sources)
  endif()
  add_library(zelbor_module SHARED ${module_sources})
  target_link_libraries(zelbor_module PRIVATE zelbor_plugin)
  if(TARGET zelbor_graphics_x11)
    # The X11 editor: its CreateEditorGraphics is an object of the module, so
    # the linker takes it and never the graphics library's headless one.
    target_sources(zelbor_module PRIVATE ${PROJECT_SOURCE_DIR}/graphics/x11/EditorGraphics.cpp)
    target_link_libraries(zelbor_module PRIVATE zelbor_graphics_x11)
  endif()
  # ZELBOR_MODULE adds the second entry name "main".
  target_compile_definitions(zelbor_module PRIVATE ZELBOR_MODULE)
  set_target_properties(zelbor_module PROPERTIES
    OUTPUT_NAME Zelbor PREFIX ""
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  if(WIN32)
    # Only the two entries of Zelbor.def are exported.
    target_link_options(zelbor_module PRIVATE -Wl,--exclude-all-symbols)
  else()
    # The static libraries are built with default visibility; keep their
    # symbols out of the module's dynamic symbol table.
    target_link_options(zelbor_module PRIVATE -Wl,--exclude-libs,ALL)
  endif()
endif()

# zelbor_load_module(TARGET): a program that loads the built module as a host
# does. It is built after the module and finds it through
# ZELBOR_MODULE_FILE: on Windows a copy beside the program, where LoadLibrary
# finds it whatever the working folder; elsewhere the module's own path.
function(zelbor_load_module target)
  add_dependencies(${target} zelbor_module)
  if(WIN32)
    set(module_copy ${CMAKE_CURRENT_BINARY_DIR}/Zelbor.dll)
    add_custom_command(OUTPUT ${module_copy}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:zelbor_module> ${module_copy}
      DEPENDS zelbor_module $<TARGET_FILE:zelbor_module>
      VERBATIM)
    add_custom_target(${target}_module_copy DEPENDS ${module_copy})
    add_dependencies(${target} ${target}_module_copy)
    target_compile_definitions(${target} PRIVATE ZELBOR_MODULE_FILE="Zelbor.dll")
  else()
    target_compile_definitions(${target} PRIVATE
      ZELBOR_MODULE_FILE="$<TARGET_FILE:zelbor_module>")
  endif()
endfunction()

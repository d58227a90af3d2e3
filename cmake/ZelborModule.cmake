# The loadable effect module: Zelbor.dll on Windows, Zelbor.so natively.
# The exported entry lives in framework/vst/module/ and is compiled only into
# the module (and into tools that host the effect in-process).
set(ZELBOR_ENTRY_SOURCE ${PROJECT_SOURCE_DIR}/framework/vst/module/ModuleEntry.cpp)
if(TARGET zelbor_plugin AND EXISTS ${ZELBOR_ENTRY_SOURCE})
  set(module_sources ${ZELBOR_ENTRY_SOURCE})
  if(WIN32 AND EXISTS ${PROJECT_SOURCE_DIR}/framework/vst/module/Zelbor.def)
    list(APPEND module_sources ${PROJECT_SOURCE_DIR}/framework/vst/module/Zelbor.def)
  endif()
  if(COMMAND zelbor_add_image_resources)
    # Windows: PNG resources; elsewhere: the embedded image table.
    zelbor_add_image_resources(module_sources)
  endif()
  add_library(zelbor_module SHARED ${module_sources})
  target_link_libraries(zelbor_module PRIVATE zelbor_plugin)
  set_target_properties(zelbor_module PROPERTIES
    OUTPUT_NAME Zelbor PREFIX ""
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()

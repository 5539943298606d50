# fsn_jni_library(NAME CORE_TARGET SOURCES...)
# Builds lib<NAME>.so from the binding sources on top of a static core. The version script keeps
# the dynamic symbol table to the JNI entry points, so the libraries carry no private copies of
# spdlog or fmt state that another library in the same JVM could see.
function(fsn_jni_library name core)
  add_library(${name} SHARED ${ARGN})
  target_link_libraries(${name} PRIVATE ${core} JNI::JNI)
  target_include_directories(${name} PRIVATE ${JNI_INCLUDE_DIRS})
  target_link_options(${name} PRIVATE
    "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/jni-exports.map"
    "LINKER:--no-undefined")
  set_target_properties(${name} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/jni-exports.map)
endfunction()

# The program's resources. make_pictures.py draws the icons and bitmaps from the grids in
# resources/pictures/ into the build folder; windres then compiles quovar.rc with them into one
# object file. The target quovar_resources links that object into the program and the ui tests.
# (windres is run directly: the RC language is not enabled for the project.)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(QUOVAR_RESOURCE_DIR ${CMAKE_SOURCE_DIR}/resources)
set(QUOVAR_PICTURE_DIR ${CMAKE_BINARY_DIR}/pictures)
set(QUOVAR_PICTURE_SCRIPT ${QUOVAR_RESOURCE_DIR}/make_pictures.py)
file(GLOB QUOVAR_PICTURE_SOURCES CONFIGURE_DEPENDS ${QUOVAR_RESOURCE_DIR}/pictures/*.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUOVAR_PICTURE_SCRIPT})

execute_process(COMMAND ${Python3_EXECUTABLE} ${QUOVAR_PICTURE_SCRIPT} --list
  OUTPUT_VARIABLE _quovar_picture_names OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" _quovar_picture_names "${_quovar_picture_names}")
list(TRANSFORM _quovar_picture_names PREPEND ${QUOVAR_PICTURE_DIR}/ OUTPUT_VARIABLE QUOVAR_PICTURE_FILES)

add_custom_command(OUTPUT ${QUOVAR_PICTURE_FILES}
  COMMAND ${Python3_EXECUTABLE} ${QUOVAR_PICTURE_SCRIPT} --out ${QUOVAR_PICTURE_DIR}
  DEPENDS ${QUOVAR_PICTURE_SCRIPT} ${QUOVAR_PICTURE_SOURCES}
  COMMENT "Drawing the icons and bitmaps"
  VERBATIM)

# The manifest carries the project's version, like the version resource.
configure_file(${QUOVAR_RESOURCE_DIR}/quovar.manifest.in ${CMAKE_BINARY_DIR}/resources/quovar.manifest @ONLY)

set(QUOVAR_RESOURCE_OBJECT ${CMAKE_BINARY_DIR}/resources/quovar_rc.o)
add_custom_command(OUTPUT ${QUOVAR_RESOURCE_OBJECT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
  COMMAND ${CMAKE_RC_COMPILER} -I ${QUOVAR_RESOURCE_DIR} -I ${QUOVAR_PICTURE_DIR} -I ${CMAKE_BINARY_DIR}/resources
          -DQUOVAR_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} -DQUOVAR_VERSION_MINOR=${PROJECT_VERSION_MINOR}
          -DQUOVAR_VERSION_PATCH=${PROJECT_VERSION_PATCH}
          -O coff -i ${QUOVAR_RESOURCE_DIR}/quovar.rc -o ${QUOVAR_RESOURCE_OBJECT}
  DEPENDS ${QUOVAR_RESOURCE_DIR}/quovar.rc ${QUOVAR_RESOURCE_DIR}/resource.h ${CMAKE_BINARY_DIR}/resources/quovar.manifest
          ${QUOVAR_PICTURE_FILES}
  COMMENT "Compiling the resource script"
  VERBATIM)
add_custom_target(quovar_resource_object DEPENDS ${QUOVAR_RESOURCE_OBJECT})

add_library(quovar_resources INTERFACE)
target_link_libraries(quovar_resources INTERFACE ${QUOVAR_RESOURCE_OBJECT})
add_dependencies(quovar_resources quovar_resource_object)

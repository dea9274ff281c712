# Each folder under src/ is one static library of the same name. A folder's sources are globbed so
# that a new module needs no edit of shared build files; external packages a subsystem needs are
# listed in src/<folder>/deps.cmake, which sets KORVELA_DEPS_<folder> to link targets.
set(KORVELA_SUBSYSTEMS "")

function(korvela_add_subsystem name)
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${name}/*.cpp ${PROJECT_SOURCE_DIR}/src/${name}/*.c)
  if(NOT srcs)
    return()
  endif()
  add_library(korvela_${name} STATIC ${srcs})
  target_include_directories(korvela_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(korvela_${name} PUBLIC Threads::Threads)
  if(EXISTS ${PROJECT_SOURCE_DIR}/src/${name}/deps.cmake)
    include(${PROJECT_SOURCE_DIR}/src/${name}/deps.cmake)
    target_link_libraries(korvela_${name} PUBLIC ${KORVELA_DEPS_${name}})
  endif()
  set(KORVELA_SUBSYSTEMS ${KORVELA_SUBSYSTEMS} korvela_${name} PARENT_SCOPE)
endfunction()

# Subsystems call each other in both directions (a built module calls a neighbour's pending
# service and the other way round), so everything links as one rescanned group.
function(korvela_finish_subsystems)
  string(REPLACE ";" "," group "${KORVELA_SUBSYSTEMS}")
  add_library(korvela_all INTERFACE)
  target_include_directories(korvela_all INTERFACE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(korvela_all INTERFACE "$<LINK_GROUP:RESCAN,${group}>")
endfunction()

# Assembles "Quellhaven Launcher.app" in the build folder, the same shape on
# macOS and Linux, so self-update swaps bundles the same way on both:
#   Contents/MacOS/quellhaven-launcher, Contents/Resources/..., Contents/Info.plist
#
# Other folders add files to Contents/Resources, from anywhere in the tree and
# in any order (generator expressions allowed; they are read at the end of
# configuration):
#   set_property(GLOBAL APPEND PROPERTY QH_BUNDLE_RESOURCES "<source file>=<path under Resources>")
#   set_property(GLOBAL APPEND PROPERTY QH_BUNDLE_DEPENDS <target that builds it>)

set(QH_BUNDLE_DIR "${CMAKE_BINARY_DIR}/Quellhaven Launcher.app")
set(QH_BUNDLE_RESOURCE_LIST "${CMAKE_BINARY_DIR}/generated/bundle_resources.txt")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Info.plist.in ${CMAKE_BINARY_DIR}/generated/Info.plist @ONLY)

add_custom_target(qh_bundle ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory "${QH_BUNDLE_DIR}/Contents/MacOS"
          "${QH_BUNDLE_DIR}/Contents/Resources"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:quellhaven-launcher>
          "${QH_BUNDLE_DIR}/Contents/MacOS/quellhaven-launcher"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_BINARY_DIR}/generated/Info.plist
          "${QH_BUNDLE_DIR}/Contents/Info.plist"
  COMMAND ${CMAKE_COMMAND} -DBUNDLE=${QH_BUNDLE_DIR} -DLIST=${QH_BUNDLE_RESOURCE_LIST}
          -P ${CMAKE_CURRENT_LIST_DIR}/bundle_resources.cmake
  DEPENDS quellhaven-launcher
  COMMENT "Assembling Quellhaven Launcher.app"
  VERBATIM)

# Runs at the end of the top-level folder, where this folder's variables are gone.
function(qh_bundle_finish)
  get_property(resources GLOBAL PROPERTY QH_BUNDLE_RESOURCES)
  get_property(depends GLOBAL PROPERTY QH_BUNDLE_DEPENDS)
  list(JOIN resources "\n" content)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/generated/bundle_resources.txt CONTENT "${content}\n")
  if(depends)
    add_dependencies(qh_bundle ${depends})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qh_bundle_finish)

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

# make bundle: the bundle as it ships. On macOS macdeployqt copies the Qt
# frameworks, plugins and QML modules the launcher uses into it and points
# the executable at them, and codesign signs the whole ad hoc (docs/release.md
# replaces that with a Developer ID signature). Elsewhere it is qh_bundle.
if(APPLE)
  find_program(QH_MACDEPLOYQT macdeployqt HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" REQUIRED)
  add_custom_target(qh_release_bundle
    COMMAND ${QH_MACDEPLOYQT} ${QH_BUNDLE_DIR} -qmldir=${CMAKE_SOURCE_DIR}/ui/qml -always-overwrite
    COMMAND /usr/bin/codesign --force --deep --sign - ${QH_BUNDLE_DIR}
    COMMAND /usr/bin/codesign --verify --deep --strict ${QH_BUNDLE_DIR}
    COMMENT "Making Quellhaven Launcher.app self-contained and signing it ad hoc"
    VERBATIM)
else()
  add_custom_target(qh_release_bundle)
endif()
add_dependencies(qh_release_bundle qh_bundle)

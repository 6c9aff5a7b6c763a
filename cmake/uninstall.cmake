# cmake -DBUILD_DIR=build -P cmake/uninstall.cmake
#
# Removes the files that the last install from BUILD_DIR put in place: the
# paths of its install_manifest.txt under the DESTDIR that install recorded
# in install_destdir.txt. Then removes vorsk's own folders if left empty.
set(manifest "${BUILD_DIR}/install_manifest.txt")
set(destdir_file "${BUILD_DIR}/install_destdir.txt")
if(NOT EXISTS "${manifest}" OR NOT EXISTS "${destdir_file}")
  message(FATAL_ERROR "Nothing to uninstall: no install from ${BUILD_DIR} is recorded.")
endif()
file(READ "${destdir_file}" destdir)
if(DEFINED ENV{DESTDIR} AND NOT "$ENV{DESTDIR}" STREQUAL "" AND NOT "$ENV{DESTDIR}" STREQUAL "${destdir}")
  message(FATAL_ERROR "The last install from ${BUILD_DIR} went to DESTDIR '${destdir}', not '$ENV{DESTDIR}'.")
endif()
file(STRINGS "${manifest}" installed_files)
foreach(installed IN LISTS installed_files)
  set(path "${destdir}${installed}")
  if(IS_SYMLINK "${path}" OR EXISTS "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
  else()
    message(STATUS "Already gone: ${path}")
  endif()
  get_filename_component(folder "${path}" DIRECTORY)
  get_filename_component(folder_name "${folder}" NAME)
  if(folder_name STREQUAL "vorsk" AND IS_DIRECTORY "${folder}")
    # rmdir leaves a folder that still holds anything.
    execute_process(COMMAND rmdir "${folder}" ERROR_QUIET)
  endif()
endforeach()
file(REMOVE "${manifest}" "${destdir_file}")

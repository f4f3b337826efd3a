# Installs the build into a temporary prefix and uses it from another folder,
# as a user who installed Tarvo would: the program, the tools, the shipped
# data, the launcher and the icons are in the XDG layout, and the installed
# program replays the installed demo drive into screenshots.
#   cmake -DBUILD=<build folder> -DWORK=<folder> -P check_install.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/elsewhere" "${WORK}/home")
set(prefix "${WORK}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(f bin/tarvo bin/tarvo-coord bin/tarvo-nmea share/tarvo/demo/demo-drive.nmea
          share/applications/tarvo.desktop share/icons/hicolor/48x48/apps/tarvo.png
          share/icons/hicolor/128x128/apps/tarvo.png)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} "${prefix}/share/applications/tarvo.desktop" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the launcher does not validate")
  endif()
endif()
execute_process(
  COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u TARVO_DATA_DIR QT_QPA_PLATFORM=offscreen HOME=${WORK}/home
          XDG_CONFIG_HOME=${WORK}/home/config XDG_DATA_HOME=${WORK}/home/data XDG_RUNTIME_DIR=${WORK}/home
          "${prefix}/bin/tarvo" --replay "${prefix}/share/tarvo/demo/demo-drive.nmea" --screenshot "${WORK}/shots"
  WORKING_DIRECTORY "${WORK}/elsewhere" RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK}/shots/page-0-status.png")
  message(FATAL_ERROR "the installed tarvo did not make its screenshots (${result}): ${out} ${err}")
endif()
file(REMOVE_RECURSE "${WORK}")

# Installs the build into a staging folder and checks what a desktop needs is there.
file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE}
                ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
set(root "${STAGE}/usr")
foreach(f lib/lithoscope/lithoscope lib/lithoscope/lithoscope-editor.so lib/lithoscope/Resources/TRCatalog.xml
          lib/lithoscope/Resources/MenuResource.txt bin/lithoscope
          share/applications/lithoscope.desktop share/mime/packages/lithoscope.xml
          share/icons/hicolor/scalable/apps/lithoscope.svg share/icons/hicolor/48x48/apps/lithoscope.png)
  if(NOT EXISTS "${root}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The link on the path runs the installed program, which finds its catalog beside itself.
execute_process(COMMAND "${root}/bin/lithoscope" s 0 0 "" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed program failed: ${rc}")
endif()
# Without a display the editor, loaded from its module beside the program, says so.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY "${root}/bin/lithoscope"
                RESULT_VARIABLE rc ERROR_VARIABLE said)
if(NOT said MATCHES "no display")
  message(FATAL_ERROR "installed editor module not started: ${said}")
endif()
# The desktop entry opens a file given to it, for every level type the MIME file declares.
file(READ "${root}/share/applications/lithoscope.desktop" entry)
file(READ "${root}/share/mime/packages/lithoscope.xml" mime)
if(NOT entry MATCHES "Exec=lithoscope %f")
  message(FATAL_ERROR "the desktop entry does not pass the file")
endif()
foreach(ext phd tub tr2 tr4)
  if(NOT mime MATCHES "pattern=\"\\*\\.${ext}\"" OR NOT entry MATCHES "application/x-lithoscope-${ext};")
    message(FATAL_ERROR "level type .${ext} missing")
  endif()
endforeach()

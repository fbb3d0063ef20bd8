# Install rules and packages, in one place. The version is the project's
# (CMakeLists.txt, project()), the one --version prints.
include(GNUInstallDirs)

set(install_programs scenario_builder scenario_inspect scenario_language_server)
if(WIN32)
  list(APPEND install_programs scenario_builder_console)
endif()
install(TARGETS ${install_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The README as text (the zip's users open it with any editor) and the licence.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.txt)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# scenario_builder for Linux contains GCC's runtime libraries when they are
# linked in: their notice goes with it.
if(PROGRAM_LINK_OPTIONS)
  set(GCC_RUNTIME_NOTICE /usr/share/doc/libstdc++6/copyright
      CACHE FILEPATH "The notice of GCC's runtime libraries")
  install(FILES ${GCC_RUNTIME_NOTICE}
          DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME gcc-runtime-notice.txt)
endif()
# The static Windows programs contain the MinGW-w64 runtime and GCC's
# runtime libraries: their notices go with them.
if(WIN32)
  set(MINGW_NOTICES_DIR /usr/share/doc CACHE PATH "Where the MinGW and GCC runtime notices are")
  install(FILES ${MINGW_NOTICES_DIR}/mingw-w64-common/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME mingw-w64-runtime-notice.txt)
  install(FILES ${MINGW_NOTICES_DIR}/gcc-mingw-w64-base/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME gcc-runtime-notice.txt)
endif()

# The built-in descriptions as an author's starting point, exported by the
# program itself. A cross-build cannot run its own program: it takes a native
# one (NATIVE_SCENARIO_BUILDER), so both packages carry the same examples.
set(examples_dir ${CMAKE_BINARY_DIR}/examples)
set(example_files ${examples_dir}/Sarvena_Lucredo_linea.txt
                  ${examples_dir}/Sarvena_Lucredo_20573-2-.txt)
if(CMAKE_CROSSCOMPILING)
  set(NATIVE_SCENARIO_BUILDER "" CACHE FILEPATH "A native scenario_builder to export the examples")
  set(exporter ${NATIVE_SCENARIO_BUILDER})
else()
  set(exporter $<TARGET_FILE:scenario_builder>)
endif()
if(exporter)
  add_custom_command(
    OUTPUT ${example_files}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${examples_dir}
    COMMAND ${exporter} --export --dir ${examples_dir}
    DEPENDS $<$<NOT:$<BOOL:${CMAKE_CROSSCOMPILING}>>:scenario_builder>
    COMMENT "Exporting the built-in descriptions as examples")
  add_custom_target(examples ALL DEPENDS ${example_files})
  install(FILES ${example_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/scenario_builder/examples)
else()
  message(WARNING "NATIVE_SCENARIO_BUILDER is not set: the package has no examples")
endif()

set(CPACK_PACKAGE_NAME scenario_builder)
set(CPACK_PACKAGE_VENDOR "The scenario_builder authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Builds driving scenarios for a train-driving simulator, and inspects them")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  set(CPACK_GENERATOR TGZ DEB)
  # Debian names take no underscore.
  set(CPACK_DEBIAN_PACKAGE_NAME scenario-builder)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The scenario_builder authors")
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)

# numen-boinc: the console runner as a BOINC application, against Debian's
# libboinc-app-dev. Debian's static archives of the library are empty, so
# the program links the shared libraries (libboinc-app7, libboinc7 on the
# volunteer's machine). The deferral of checkpoints and the fraction done
# are plain code and tested in numen-unittests with or without the library.
option(NUMEN_BOINC "Build numen-boinc, the BOINC application (needs libboinc-app-dev)" OFF)

set(NUMEN_BOINC_PLAIN_SOURCES
    ${CMAKE_SOURCE_DIR}/shell/console/boinc/DeferredCheckpoint.cpp
    ${CMAKE_SOURCE_DIR}/shell/console/boinc/WorkFolder.cpp
    ${CMAKE_SOURCE_DIR}/shell/console/boinc/WorkFraction.cpp)
if(TARGET numen-unittests)
  target_sources(numen-unittests PRIVATE ${NUMEN_BOINC_PLAIN_SOURCES})
endif()

if(NUMEN_BOINC)
  find_path(BOINC_INCLUDE_DIR boinc/boinc_api.h REQUIRED)
  find_library(BOINC_API_LIBRARY NAMES boinc_api REQUIRED)
  find_library(BOINC_LIBRARY NAMES boinc REQUIRED)
  add_executable(numen-boinc ${CMAKE_SOURCE_DIR}/shell/console/boinc/main.cpp
                 ${CMAKE_SOURCE_DIR}/shell/console/ConsoleOutput.cpp ${NUMEN_BOINC_PLAIN_SOURCES})
  target_include_directories(numen-boinc SYSTEM PRIVATE ${BOINC_INCLUDE_DIR})
  target_link_libraries(numen-boinc PRIVATE numen_engine ${BOINC_API_LIBRARY} ${BOINC_LIBRARY})
  if(NUMEN_BUILD_TESTS)
    add_test(NAME Console.BoincStandalone
             COMMAND bash ${CMAKE_SOURCE_DIR}/unittests/console/boinc-standalone.sh
                     $<TARGET_FILE:numen-boinc> $<TARGET_FILE:numen-console>)
    set_tests_properties(Console.BoincStandalone PROPERTIES LABELS unit TIMEOUT 300)
    # Under a stand-in client: suspend, resume, quit, abort and the fraction done.
    add_executable(numen-boinc-fake-client ${CMAKE_SOURCE_DIR}/unittests/console/BoincFakeClient.cpp)
    target_include_directories(numen-boinc-fake-client SYSTEM PRIVATE ${BOINC_INCLUDE_DIR})
    target_link_libraries(numen-boinc-fake-client PRIVATE ${BOINC_LIBRARY})
    add_test(NAME Console.BoincClient
             COMMAND bash ${CMAKE_SOURCE_DIR}/unittests/console/boinc-client.sh
                     $<TARGET_FILE:numen-boinc> $<TARGET_FILE:numen-boinc-fake-client>)
    set_tests_properties(Console.BoincClient PROPERTIES LABELS unit TIMEOUT 300)
  endif()
endif()

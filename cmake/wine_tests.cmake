# Tests that run under Wine: the Win32 layer's GoogleTest program and the end-to-end tests
# of the real Corvandel.exe. Every run makes its own prefixes under the build folder, never
# the user's ~/.wine.

set(WINE_ENV_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/wine-env.sh)
# The loader that runs this build's programs.
if(CORVANDEL_BITNESS EQUAL 64)
  set(WINE_ARCH_ENV CORVANDEL_WINE_ARCH=x86_64)
else()
  set(WINE_ARCH_ENV CORVANDEL_WINE_ARCH=i686)
endif()
set(WINE_BASE_PREFIX ${CMAKE_BINARY_DIR}/wine/base)
set(WINE_WIN7_PREFIX ${CMAKE_BINARY_DIR}/wine/base-win7)

add_test(NAME wine_base_prefix
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wineprefix.sh ${WINE_BASE_PREFIX} win10 no-wm)
set_tests_properties(wine_base_prefix PROPERTIES FIXTURES_SETUP wine_base TIMEOUT 300
  ENVIRONMENT ${WINE_ARCH_ENV})
add_test(NAME wine_win7_prefix
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wineprefix.sh ${WINE_WIN7_PREFIX} win7 no-wm)
set_tests_properties(wine_win7_prefix PROPERTIES FIXTURES_SETUP wine_win7 TIMEOUT 300
  ENVIRONMENT ${WINE_ARCH_ENV})

add_executable(win_tests
  tests/win/candidates_win_test.cpp
  tests/win/file_info_win_test.cpp
  tests/win/gui_thread_win_test.cpp
  tests/win/icon_file_win_test.cpp
  tests/win/platform_win_test.cpp
  tests/win/pointers_win_test.cpp
  tests/win/package_signature_win_test.cpp
  tests/win/process_tree_win_test.cpp
  tests/win/registry_win_test.cpp
)
target_link_libraries(win_tests PRIVATE corvandel_win GTest::gtest_main)
target_link_options(win_tests PRIVATE ${WIN_LINK_OPTIONS})
target_compile_options(win_tests PRIVATE -Wall -Wextra)
target_compile_definitions(win_tests PRIVATE CORVANDEL_BITNESS=${CORVANDEL_BITNESS})
add_dependencies(win_tests Corvandel tree_child)

# The process-tree test's child: found beside win_tests.exe.
add_executable(tree_child WIN32 tests/win/tree_child.cpp)
target_link_options(tree_child PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(tree_child PRIVATE -Wall -Wextra)

add_test(NAME win
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/win/run.sh ${WINE_BASE_PREFIX}
          $<TARGET_FILE:win_tests> $<TARGET_FILE:Corvandel>)
set_tests_properties(win PROPERTIES FIXTURES_REQUIRED wine_base TIMEOUT 300
  ENVIRONMENT ${WINE_ARCH_ENV})

add_executable(fake_uninstaller WIN32 tests/e2e/fake_uninstaller.cpp)
target_link_options(fake_uninstaller PRIVATE ${WIN_LINK_OPTIONS} -municode)

# Stands in for the uninstallers and msiexec.exe of the uninstall queue's tests: each entry's
# command line chooses how long it runs, which keys it deletes, its exit code and whether it
# hands over to a copy of itself.
add_executable(queue_fake WIN32 tests/e2e/queue_fake.cpp)
target_link_libraries(queue_fake PRIVATE advapi32)
target_link_options(queue_fake PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(queue_fake PRIVATE -Wall -Wextra)

# Planted beside the program under system libraries' names; it must never be loaded.
add_library(planted_library SHARED tests/e2e/planted_library.cpp)
set_target_properties(planted_library PROPERTIES PREFIX "")
target_link_options(planted_library PRIVATE -static-libgcc)

# Stands in for the portable update script's extraction and wait commands, which Wine lacks.
add_executable(script_standin tests/e2e/script_standin.cpp)
target_link_libraries(script_standin PRIVATE z bcrypt)
target_link_options(script_standin PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(script_standin PRIVATE -Wall -Wextra)

# The tests sign packages with the private half of the key this build trusts (scripts/build.sh
# keeps both halves of a throw-away key side by side).
get_filename_component(UPDATE_KEY_FOLDER ${CORVANDEL_UPDATE_KEY} DIRECTORY)

foreach(name list instance windows7 window removal views settings dpi icons busy hostile languages themes update
        release queue leftovers cmdline)
  add_test(NAME e2e_${name}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/${name}.sh)
  set_tests_properties(e2e_${name} PROPERTIES
    FIXTURES_REQUIRED "wine_base;wine_win7"
    TIMEOUT 300
    ENVIRONMENT "${WINE_ARCH_ENV};CORVANDEL_EXE=$<TARGET_FILE:Corvandel>;CORVANDEL_DRIVER=$<TARGET_FILE:corvandel_driver>;FAKE_UNINSTALLER=$<TARGET_FILE:fake_uninstaller>;QUEUE_FAKE=$<TARGET_FILE:queue_fake>;WINE_BASE_PREFIX=${WINE_BASE_PREFIX};WINE_WIN7_PREFIX=${WINE_WIN7_PREFIX};E2E_WORK=${CMAKE_BINARY_DIR}/e2e/${name};CORVANDEL_BITNESS=${CORVANDEL_BITNESS};SCRIPT_STANDIN=$<TARGET_FILE:script_standin>;PLANTED_LIBRARY=$<TARGET_FILE:planted_library>;TEST_SIGNING_KEY=${UPDATE_KEY_FOLDER}/private.pem;CORVANDEL_BUILD_DIR=${CMAKE_BINARY_DIR}")
endforeach()

# Windows targets: the program, its Win32 layer, the Windows-side tests and the test driver.
enable_language(RC)
include(cmake/update_key.cmake)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
set(WIN_LINK_OPTIONS -static -static-libgcc -static-libstdc++)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CORVANDEL_BITNESS 64)
else()
  set(CORVANDEL_BITNESS 32)
endif()

# The Win32 side of each layer, in the same order as the portable libraries.
corvandel_library(corvandel_foundation_win foundation/error_text_win.cpp foundation/file_hash_win.cpp
  foundation/files_win.cpp foundation/folder_security_win.cpp foundation/session_shell_win.cpp
  foundation/system_library_win.cpp
  foundation/platform_win.cpp
  foundation/registry_win.cpp)
target_link_libraries(corvandel_foundation_win PUBLIC corvandel_foundation shell32 advapi32 comctl32
  ole32 oleaut32 uuid)
corvandel_library(corvandel_inventory_win inventory/folder_size_win.cpp
  inventory/icon_file_win.cpp inventory/icon_job_win.cpp)
target_link_libraries(corvandel_inventory_win PUBLIC corvandel_inventory corvandel_foundation_win shell32 gdi32)
corvandel_library(corvandel_about_win about/FileInfoUtils_win.cpp)
target_link_libraries(corvandel_about_win PUBLIC corvandel_about corvandel_foundation_win version)
corvandel_library(corvandel_settings_win settings/languages_win.cpp settings/settings_win.cpp)
target_link_libraries(corvandel_settings_win PUBLIC corvandel_settings corvandel_about_win)
corvandel_library(corvandel_removal_win removal/backups_page_win.cpp removal/registry_editor_win.cpp)
target_link_libraries(corvandel_removal_win PUBLIC corvandel_removal corvandel_foundation_win comctl32
  shell32)

corvandel_library(corvandel_appearance_win appearance/theme_win.cpp)
target_link_libraries(corvandel_appearance_win PUBLIC corvandel_appearance comctl32 uxtheme dwmapi gdi32)

corvandel_library(corvandel_queue_win queue/process_tree_win.cpp queue/queue_window_win.cpp
  queue/uninstall_queue_win.cpp)
target_link_libraries(corvandel_queue_win PUBLIC corvandel_queue corvandel_foundation_win
  corvandel_appearance_win comctl32)

corvandel_library(corvandel_leftovers_win leftovers/candidates_win.cpp leftovers/data_folder_win.cpp
  leftovers/machine_text_win.cpp leftovers/pointers_win.cpp leftovers/quarantine_win.cpp
  leftovers/leftovers_window_win.cpp)
target_link_libraries(corvandel_leftovers_win PUBLIC corvandel_leftovers corvandel_inventory
  corvandel_removal corvandel_foundation_win corvandel_appearance_win
  ole32 uuid shell32 comctl32)

corvandel_library(corvandel_update_win update/http_win.cpp update/package_signature_win.cpp
  update/updater_window_win.cpp)
target_link_libraries(corvandel_update_win PUBLIC corvandel_update corvandel_foundation_win
  corvandel_about_win corvandel_settings_win corvandel_appearance_win winhttp bcrypt ole32 comctl32)
target_include_directories(corvandel_update_win PRIVATE ${CMAKE_BINARY_DIR}/generated)

corvandel_library(corvandel_cmdline_win cmdline/command_line_win.cpp)
target_link_libraries(corvandel_cmdline_win PUBLIC corvandel_cmdline corvandel_queue_win
  corvandel_leftovers_win corvandel_removal corvandel_foundation_win shell32)

add_library(corvandel_win INTERFACE)
target_link_libraries(corvandel_win INTERFACE corvandel_core corvandel_inventory_win
  corvandel_about_win corvandel_settings_win corvandel_removal_win corvandel_queue_win
  corvandel_leftovers_win corvandel_appearance_win corvandel_update_win corvandel_cmdline_win)

set(CORVANDEL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
configure_file(app/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)

add_executable(Corvandel WIN32
  about/about_window_win.cpp
  app/admin_command_win.cpp
  app/leftover_records_win.cpp
  app/main_window_controls_win.cpp
  app/main_window_language_win.cpp
  app/main_window_cleanup_win.cpp
  app/main_window_theme_win.cpp
  app/main_window_settings_win.cpp
  app/main_window_win.cpp
  app/program_entry_commands_win.cpp
  app/program_list_page_win.cpp
  app/startup_win.cpp
  app/Corvandel.rc
)
target_include_directories(Corvandel PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(Corvandel PRIVATE CORVANDEL_BITNESS=${CORVANDEL_BITNESS})
target_link_libraries(Corvandel PRIVATE corvandel_win comctl32 comdlg32 user32 gdi32 uxtheme dwmapi)
target_link_options(Corvandel PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(Corvandel PRIVATE -Wall -Wextra)
set_source_files_properties(app/Corvandel.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/app/Corvandel.manifest;${CMAKE_SOURCE_DIR}/app/corvandel.ico;${CMAKE_BINARY_DIR}/generated/version.h")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated -I${CMAKE_SOURCE_DIR}/app")

# Corvandel.com, the console companion: the same command line, waited for by a command prompt.
add_executable(corvandel_console app/console_main_win.cpp app/admin_command_win.cpp
  app/leftover_records_win.cpp)
set_target_properties(corvandel_console PROPERTIES OUTPUT_NAME Corvandel SUFFIX .com)
target_link_libraries(corvandel_console PRIVATE corvandel_win)
target_link_options(corvandel_console PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(corvandel_console PRIVATE -Wall -Wextra)

# The driver that end-to-end tests use to start and read the running program.
add_executable(corvandel_driver tests/e2e/driver/driver.cpp)
target_link_libraries(corvandel_driver PRIVATE corvandel_core comctl32 user32 advapi32 ole32
  uuid)
target_link_options(corvandel_driver PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(corvandel_driver PRIVATE -Wall -Wextra)

# Where a scan's time goes, for the benchmark.
add_executable(corvandel_profile tests/bench/scan_profile_win.cpp)
target_link_libraries(corvandel_profile PRIVATE corvandel_win ole32)
target_link_options(corvandel_profile PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(corvandel_profile PRIVATE -Wall -Wextra)

if(CORVANDEL_WINE_TESTS)
  include(cmake/wine_tests.cmake)
endif()

# The language files go beside the executable, where the program looks for them.
file(GLOB CORVANDEL_LANGUAGE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Language/*.ini)
set(CORVANDEL_LANGUAGE_OUTPUTS)
foreach(source ${CORVANDEL_LANGUAGE_FILES})
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/Language/${name}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/Language/${name}
    DEPENDS ${source})
  list(APPEND CORVANDEL_LANGUAGE_OUTPUTS ${CMAKE_BINARY_DIR}/Language/${name})
endforeach()
add_custom_target(corvandel_languages ALL DEPENDS ${CORVANDEL_LANGUAGE_OUTPUTS})

# How long a translation pass over a large window takes, for the benchmark.
add_executable(corvandel_translation_bench tests/bench/translation_bench_win.cpp)
target_link_libraries(corvandel_translation_bench PRIVATE corvandel_win)
target_link_options(corvandel_translation_bench PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(corvandel_translation_bench PRIVATE -Wall -Wextra)

# Windows targets: the program, its Win32 layer, the Windows-side tests and the test driver.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
set(WIN_LINK_OPTIONS -static -static-libgcc -static-libstdc++)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CORVANDEL_BITNESS 64)
else()
  set(CORVANDEL_BITNESS 32)
endif()

add_library(corvandel_win STATIC
  app/platform_win.cpp
  app/registry_win.cpp
  about/FileInfoUtils_win.cpp
  settings/settings_win.cpp
)
target_link_libraries(corvandel_win PUBLIC corvandel_core version shell32 advapi32)
target_compile_options(corvandel_win PRIVATE -Wall -Wextra)

set(CORVANDEL_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
configure_file(app/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)

add_executable(Corvandel WIN32
  about/about_window_win.cpp
  app/folder_size_win.cpp
  app/main_window_win.cpp
  inventory/program_list_win.cpp
  removal/removal_win.cpp
  app/startup_win.cpp
  app/Corvandel.rc
)
target_include_directories(Corvandel PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(Corvandel PRIVATE CORVANDEL_BITNESS=${CORVANDEL_BITNESS})
target_link_libraries(Corvandel PRIVATE corvandel_win comctl32 comdlg32 user32 gdi32 uxtheme)
target_link_options(Corvandel PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(Corvandel PRIVATE -Wall -Wextra)
set_source_files_properties(app/Corvandel.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/app/Corvandel.manifest;${CMAKE_SOURCE_DIR}/app/corvandel.ico;${CMAKE_BINARY_DIR}/generated/version.h")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated -I${CMAKE_SOURCE_DIR}/app")

# The driver that end-to-end tests use to start and read the running program.
add_executable(corvandel_driver tests/e2e/driver/driver.cpp)
target_link_libraries(corvandel_driver PRIVATE corvandel_core comctl32 user32 advapi32)
target_link_options(corvandel_driver PRIVATE ${WIN_LINK_OPTIONS} -municode)
target_compile_options(corvandel_driver PRIVATE -Wall -Wextra)

if(CORVANDEL_WINE_TESTS)
  include(cmake/wine_tests.cmake)
endif()

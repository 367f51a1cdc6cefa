# Build rules shared by every target of the project.

option(QUELLBAR_WERROR "Treat compiler warnings as errors" OFF)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")

# The program folder as it is installed: programs and libraries beside each
# other, plug-ins in plugin/, pictures and formats in resource/.
set(QUELLBAR_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(QUELLBAR_PLUGIN_DIR ${QUELLBAR_BIN_DIR}/plugin)
set(QUELLBAR_TEST_DIR ${CMAKE_BINARY_DIR}/tests)

# Settings every Windows target of ours gets.
function(quellbar_target target)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE NOMINMAX
                             _WIN32_WINNT=0x0A00 WINVER=0x0A00)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8 /Zc:__cplusplus)
    if(QUELLBAR_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-missing-field-initializers)
    if(QUELLBAR_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
    # No MinGW runtime DLLs on a user's machine.
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()

# A product program (GUI subsystem) placed in the program folder.
function(quellbar_program target)
  add_executable(${target} WIN32 ${ARGN})
  quellbar_target(${target})
  if(NOT MSVC)
    target_link_options(${target} PRIVATE -municode) # wWinMain
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUELLBAR_BIN_DIR})
endfunction()

# A product library placed in the program folder (or in plugin/ with PLUGIN).
function(quellbar_library target)
  cmake_parse_arguments(arg "PLUGIN" "" "" ${ARGN})
  add_library(${target} SHARED ${arg_UNPARSED_ARGUMENTS})
  quellbar_target(${target})
  set(dir ${QUELLBAR_BIN_DIR})
  if(arg_PLUGIN)
    set(dir ${QUELLBAR_PLUGIN_DIR})
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${dir}
                        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
endfunction()

# A GoogleTest executable registered as one CTest entry. Tests that share
# something system-wide take the locks named by LOCK so that CTest never runs
# two of them at once: "zuvo" for the desktop (the program's single-instance
# window, the foreground window, typed keys), "zuvohook" for the hot-key
# section, "fakeaudio" for the fake audio system installed in the prefix.
function(quellbar_gtest target)
  cmake_parse_arguments(arg "" "TIMEOUT" "SOURCES;LIBS;LOCK" ${ARGN})
  if(NOT TARGET gtest)
    return()
  endif()
  add_executable(${target} ${arg_SOURCES})
  quellbar_target(${target})
  target_link_libraries(${target} PRIVATE ${arg_LIBS} gmock gtest_main)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUELLBAR_TEST_DIR})
  add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  set_tests_properties(${target} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  if(arg_LOCK)
    set_tests_properties(${target} PROPERTIES RESOURCE_LOCK "${arg_LOCK}")
  endif()
endfunction()

# The program icon, drawn at build time by resource/CMakeLists.txt, for a
# program's resource script (as QUELLBAR_PROGRAM_ICON). windres hands
# definitions to its preprocessor through a shell, which eats one level of
# quotes. Further files the script includes go in EXTRA_DEPENDS.
function(quellbar_program_icon target rc_file)
  cmake_parse_arguments(arg "" "" "EXTRA_DEPENDS" ${ARGN})
  set(icon ${CMAKE_BINARY_DIR}/generated/zuvo.ico)
  set(icon_text "\"${icon}\"")
  if(CMAKE_RC_COMPILER MATCHES "windres")
    set(icon_text "\\\"${icon}\\\"")
  endif()
  set_source_files_properties(${rc_file} PROPERTIES
    OBJECT_DEPENDS "${icon};${arg_EXTRA_DEPENDS}"
    COMPILE_DEFINITIONS "QUELLBAR_PROGRAM_ICON=${icon_text}")
  add_dependencies(${target} quellbar_resources)
endfunction()

# Helpers shared by every subsystem's CMakeLists.

# tqn_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [RESOURCE_LOCK <locks...>]
#               [ENVIRONMENT <VAR=value...>])
# A GoogleTest executable whose cases each become a CTest test. In the Windows
# build they run under Wine (CMAKE_CROSSCOMPILING_EMULATOR). Suites that touch
# prefix-wide state (the global shared block) name the same resource lock.
function(tqn_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;RESOURCE_LOCK;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gmock gtest tqn_test_main)
    tqn_add_manifest(${name})
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
  endif()
  set(properties TIMEOUT 120)
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES ${properties})
endfunction()

# tqn_add_manifest(<target>): embeds the program manifest (asInvoker, supported
# Windows versions up to 10), without which the version calls stop at 6.2.
function(tqn_add_manifest target)
  if(WIN32)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/manifest.rc)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/cmake/manifest.rc TARGET_DIRECTORY ${target}
      PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/launch.manifest)
  endif()
endfunction()

# tqn_add_program(<target> [WIN32] SOURCES <files...> [LIBS <targets...>])
# A Unicode program of the Windows build (wmain or wWinMain), with the manifest.
function(tqn_add_program target)
  cmake_parse_arguments(ARG "WIN32" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_WIN32)
    add_executable(${target} WIN32 ${ARG_SOURCES})
  else()
    add_executable(${target} ${ARG_SOURCES})
  endif()
  if(MINGW)
    target_compile_options(${target} PRIVATE -municode)
    target_link_options(${target} PRIVATE -municode)
  endif()
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  tqn_add_manifest(${target})
endfunction()

# tqn_add_fuzz_target(<name> SOURCES <files...> LIBS <libraries...>)
# A libFuzzer target over readers of foreign data, built only natively with
# clang and -DTQN_FUZZ=ON. The libraries it links are built with coverage
# instrumentation, so the fuzzer is guided by the readers' own branches.
option(TQN_FUZZ "Build the libFuzzer targets (native build with clang)" OFF)
function(tqn_add_fuzz_target name)
  if(NOT TQN_FUZZ OR WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  foreach(library IN LISTS ARG_LIBS)
    target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link)
  endforeach()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} -fsanitize=fuzzer)
endfunction()

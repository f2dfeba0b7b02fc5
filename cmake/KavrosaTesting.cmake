# GoogleTest for the native build comes from Debian's prebuilt libgtest; for the Windows
# build it is compiled from the sources Debian's googletest package ships in /usr/src.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(KAVROSA_GTEST_LIBS gmock gtest)
else()
  find_package(GTest REQUIRED)
  set(KAVROSA_GTEST_LIBS GTest::gmock GTest::gtest)
endif()

# kavrosa_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS label ...])
# One test executable per subsystem, run whole by CTest (under Wine for the Windows build,
# through CMAKE_CROSSCOMPILING_EMULATOR).
function(kavrosa_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/TestMain.cpp)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${KAVROSA_GTEST_LIBS} kavrosa_options)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600 LABELS "${T_LABELS}")
endfunction()

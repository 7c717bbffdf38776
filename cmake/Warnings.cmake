# Compiler warnings and sanitizers, applied to every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic)
if(QELTX_WERROR)
  add_compile_options(-Werror)
endif()
if(QELTX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QELTX_FUZZ)
  # Coverage for libFuzzer in every library the targets reach; each target links the fuzzer itself.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# One call per library folder: every .cpp in it belongs to the library, so parallel work
# on different modules never edits the same list.
function(qeltx_glob_sources out dir)
  file(GLOB_RECURSE found CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h")
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A GoogleTest executable from every .cpp of a test folder.
# Every test runs with HOME at an empty folder of the build and the XDG folders for caches and
# settings elsewhere, so none reads or writes the player's documents folder; the tests
# home_folder_given and home_folder_untouched (top-level CMakeLists.txt) make it and check it.
set(QELTX_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
set(QELTX_TEST_XDG ${CMAKE_BINARY_DIR}/test-xdg)
function(qeltx_test_home)
  set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED test_home ENVIRONMENT_MODIFICATION
    "HOME=set:${QELTX_TEST_HOME};XDG_CONFIG_HOME=set:${QELTX_TEST_XDG}/config;XDG_CACHE_HOME=set:${QELTX_TEST_XDG}/cache;XDG_DATA_HOME=set:${QELTX_TEST_XDG}/data;XDG_STATE_HOME=set:${QELTX_TEST_XDG}/state;XDG_DOCUMENTS_DIR=unset:")
endfunction()

function(qeltx_gtest name dir)
  file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp")
  add_executable(${name} ${found})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  include(GoogleTest)
  # Found only when the tests run: their home folder is given here (pure tests need no XDG ones).
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                       FIXTURES_REQUIRED test_home ENVIRONMENT_MODIFICATION "HOME=set:${QELTX_TEST_HOME}")
endfunction()

# One Qt Test executable per .cpp of a widget test folder.
function(qeltx_qtest_each dir)
  file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp")
  foreach(src ${found})
    get_filename_component(stem ${src} NAME_WE)
    add_executable(${stem} ${src})
    target_link_libraries(${stem} PRIVATE ${ARGN} Qt6::Test)
    add_test(NAME ${stem} COMMAND ${stem})
    set_tests_properties(${stem} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
    qeltx_test_home(${stem})
  endforeach()
endfunction()

# The project writes Q_EMIT; freeing `emit` lets plain C++ modules use it as a name.
add_compile_definitions(QT_NO_EMIT)

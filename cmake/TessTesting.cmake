include(GoogleTest)
find_package(GTest REQUIRED)

# tess_add_test(<name> SOURCES ... [LIBS ...] [SANITIZE] [TSAN] [QPA <platform>])
#
# One GoogleTest executable per test folder. Each test runs with the offscreen
# platform and its own HOME/XDG folders (made by tests/support/QtGTestMain.cpp).
# SANITIZE adds the suite to the ASan/UBSan pass (label "sanitize", target sanitize_tests);
# TSAN adds it to the ThreadSanitizer pass (label "tsan", target tsan_tests).
# Every binary also runs once whole, shuffled, as the test "<name>.whole" (label "whole").
# QPA replaces the platform the tests run with (default "offscreen"), e.g. an offscreen platform given a
# configuration file of screens: "offscreen:configfile=<path>".
function(tess_add_test name)
    cmake_parse_arguments(ARG "SANITIZE;TSAN" "QPA" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_QPA)
        set(ARG_QPA offscreen)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} tess::test_main tess::warnings)
    # Exported symbols name the frames of the stack a crashing test prints.
    set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
    set(labels unit)
    if(ARG_SANITIZE)
        list(APPEND labels sanitize)
        if(NOT TARGET sanitize_tests)
            add_custom_target(sanitize_tests)
        endif()
        add_dependencies(sanitize_tests ${name})
    endif()
    if(ARG_TSAN)
        list(APPEND labels tsan)
        if(NOT TARGET tsan_tests)
            add_custom_target(tsan_tests)
        endif()
        add_dependencies(tsan_tests ${name})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        TEST_LIST ${name}_TESTS
        PROPERTIES TIMEOUT 300)
    # gtest_discover_tests flattens list-valued properties, so labels and environment are set by a
    # script that ctest runs after the discovered tests are defined.
    set(environment
        QT_QPA_PLATFORM=${ARG_QPA} QTWEBENGINE_DISABLE_SANDBOX=1 QT_MEDIA_BACKEND=gstreamer
        TESS_TEST_DATA_DIR=${CMAKE_CURRENT_SOURCE_DIR}/data TESS_SOURCE_DIR=${PROJECT_SOURCE_DIR})
    set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${props_file}
        "if(${name}_TESTS)\n"
        "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\" ENVIRONMENT \"${environment}\")\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
    # The whole binary once more, as one process in a shuffled order, so that what one test leaves for the next
    # shows (each test above runs in a process of its own). The order's seed comes from GTEST_RANDOM_SEED (the
    # test command sets and prints it); without it Google Test picks one and prints it. Long, so it starts early.
    add_test(NAME ${name}.whole COMMAND ${name} --gtest_shuffle)
    set_tests_properties(${name}.whole PROPERTIES
        LABELS whole ENVIRONMENT "${environment}" TIMEOUT 1500 COST 10000)
endfunction()

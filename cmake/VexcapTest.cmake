# vexcap_add_test(<name> SOURCES <files...> LIBS <libs...> [TIMEOUT <seconds>] [SERIAL])
# SERIAL: the test runs alone (it plays into the shared sound sink, or its
# timing is real time).
# Builds one GoogleTest console executable and registers it with CTest; CTest
# runs it under Wine through the toolchain's emulator.
function(vexcap_add_test name)
    cmake_parse_arguments(T "SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} vexcap_gtest_main winmm)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    # A crash in a thread that Wine's debugger reports can still end the
    # process with exit code 0: its report fails the test.
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        FAIL_REGULAR_EXPRESSION "Unhandled exception: |wine: Unhandled |Unhandled page fault"
        ENVIRONMENT "VEXCAP_SOURCE_DIR=${CMAKE_SOURCE_DIR};VEXCAP_BUILD_DIR=${CMAKE_BINARY_DIR}")
    if(T_SERIAL)
        set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
    endif()
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

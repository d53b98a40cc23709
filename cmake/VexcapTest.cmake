# vexcap_add_test(<name> SOURCES <files...> LIBS <libs...> [TIMEOUT <seconds>])
# Builds one GoogleTest console executable and registers it with CTest; CTest
# runs it under Wine through the toolchain's emulator.
function(vexcap_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} vexcap_gtest_main winmm)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "VEXCAP_SOURCE_DIR=${CMAKE_SOURCE_DIR};VEXCAP_BUILD_DIR=${CMAKE_BINARY_DIR}")
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# Project helpers: one library per module from the sources of its folder, and one
# test program per tests/ folder, registered with CTest.

# gdl_module(<target> DIR <dir> [DEPS <targets...>])
# A static library of <dir>/*.cpp (not recursive); an interface library while the
# folder has no sources yet, so dependents link the same way either way.
function(gdl_module target)
    cmake_parse_arguments(M "" "DIR" "DEPS" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${M_DIR}/*.cpp ${M_DIR}/*.c)
    if(srcs)
        add_library(${target} STATIC ${srcs})
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${target} PUBLIC ${M_DEPS})
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${target} INTERFACE ${M_DEPS})
    endif()
endfunction()

# Test programs run whole, each as one CTest case: their tests share a process as the
# program's code shares one, so state a test leaves behind shows up in the tests
# after it. The exceptions run each test in a process of its own:
# - tests of a suite named FreshProcess*, which check what a process starts with;
# - every test of a program listed here.
# None needs it today; a program that truly must is named here with the reason.
set(GDL_PER_TEST_PROGRAMS)

function(gdl_add_tests target)
    set(props TIMEOUT 300)
    if(target IN_LIST GDL_PER_TEST_PROGRAMS)
        gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
            PROPERTIES ${props})
        return()
    endif()
    add_test(NAME ${target} COMMAND ${target} --gtest_filter=-FreshProcess*)
    # Whole programs take longest: started first, they overlap the single tests.
    set_tests_properties(${target} PROPERTIES ${props} COST 1000)
    gtest_discover_tests(${target} TEST_FILTER "FreshProcess*" DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# gdl_tests(<name> DIR <dir> [DEPS <targets...>])
# <dir>/*_test.cpp (and <dir>/support/*.cpp) become the test program <name>.
function(gdl_tests name)
    cmake_parse_arguments(T "" "DIR" "DEPS" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${T_DIR}/*_test.cpp)
    if(NOT srcs)
        return()
    endif()
    file(GLOB support CONFIGURE_DEPENDS ${T_DIR}/support/*.cpp)
    add_executable(${name} ${srcs} ${support})
    target_include_directories(${name} PRIVATE ${T_DIR})
    target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
    gdl_add_tests(${name})
endfunction()

# gdl_benchmark(<name> SOURCES <files...> [DEPS <targets...>])
function(gdl_benchmark name)
    cmake_parse_arguments(B "" "" "SOURCES;DEPS" ${ARGN})
    if(NOT GDL_BENCHMARKS)
        return()
    endif()
    find_package(benchmark REQUIRED)
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE ${B_DEPS} benchmark::benchmark Threads::Threads)
endfunction()

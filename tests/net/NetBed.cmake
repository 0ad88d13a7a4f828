# The network test bed for test programs of any folder.
#
#   include(${PROJECT_SOURCE_DIR}/tests/net/NetBed.cmake)
#   tm_add_netbed_tests(<gtest target> [RAW] [PREFIX <prefix>] [PROPERTIES <test properties>...])
#
# Registers the program's tests (tm_discover_tests of tests/CMakeLists.txt) so that each runs
# inside a client namespace of the bed: tmn-cdg (datagram ICMP sockets allowed) by default,
# tmn-craw (raw sockets only) with RAW. The tests require the fixture tmn_netbed, so ctest builds
# the bed before them and removes it afterwards, also when they fail. They carry the label
# "netbed".
# Addresses and names of the bed are in tests/net/netbed.h; start each test that needs the
# bed with TM_REQUIRE_NETBED(): it skips, with the reason, when not run as root, and fails when
# run as root without the bed.
# A program registered twice (once RAW) needs a PREFIX on at least one of the calls.
include_guard(GLOBAL)

set(TM_NETBED_DIR "${CMAKE_CURRENT_LIST_DIR}" CACHE INTERNAL "tests/net of the source tree")

function(tm_add_netbed_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "RAW" "PREFIX" "PROPERTIES")
    set(ns tmn-cdg)
    if(arg_RAW)
        set(ns tmn-craw)
    endif()
    # gtest_discover_tests puts the emulator before the program, for listing and for running.
    set_property(TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR "${TM_NETBED_DIR}/inbed.sh")
    target_include_directories(${target} PRIVATE "${TM_NETBED_DIR}/..")
    tm_discover_tests(${target}
        PREFIX "${arg_PREFIX}"
        LABELS netbed
        FIXTURES tmn_netbed
        PROPERTIES
            ENVIRONMENT "TM_NETBED_CLIENT=${ns}"
            ${arg_PROPERTIES})
endfunction()

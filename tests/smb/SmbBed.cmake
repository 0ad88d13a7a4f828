# Tests against the throwaway Samba server of tests/smb.
#
#   tm_add_smbbed_tests(<target> [LABELS <label>...])
#
# links <target> with tm_smbbed (the program enters the bed's client namespace before main())
# and registers its GoogleTest cases so that each runs with the bed up: the fixture tm_smbbed
# starts smbd before the first of them and stops it after the last, also when tests fail. The
# cases hold the resource lock tm_smbbed, since a test may stop the server in the middle, and
# carry the label "smbbed".
# Use smbbed.h and TM_REQUIRE_SMBBED() in the tests.

set(TM_SMBBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/smbbed.sh CACHE INTERNAL "")
set(TM_SMBBED_ENV ${CMAKE_BINARY_DIR}/tests/smb/smbbed.env CACHE INTERNAL "")

function(tm_add_smbbed_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "LABELS")
    target_link_libraries(${target} PRIVATE tm_smbbed)
    tm_discover_tests(${target}
        LABELS smbbed ${ARG_LABELS}
        FIXTURES tm_smbbed
        PROPERTIES
            RESOURCE_LOCK tm_smbbed
            ENVIRONMENT "TM_SMBBED_ENV=${TM_SMBBED_ENV}")
endfunction()

# Runs a test script through "ovopc run" on a project of its own, in an
# English installation unless LCID names another language, and checks the
# exit code and what it printed.
#   OVOPC, SCRIPT, WORK (a scratch folder), HELPERS (optional, prepended),
#   EXPECT_EXIT (default 0), EXPECT_OUTPUT (a regular expression, optional),
#   EXTRA (further ovopc arguments, optional),
#   SERVER (arguments of apps/opcua-helper/server.js, optional) with SERVER_JS:
#   the test server is started on a free loopback port for the run and
#   registered as the OPC server "Test.Server.1", and helpers_server.js
#   follows the helpers; without node or the helper's packages the test says
#   "skipped: ..." and counts as skipped.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
if(NOT LCID)
    set(LCID 1033)
endif()
file(WRITE "${WORK}/registry.ini" "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\nLCID=${LCID}\nPath=${WORK}\n")
if(SERVER)
    get_filename_component(helper_dir "${SERVER_JS}" DIRECTORY)
    find_program(NODE node)
    if(NOT NODE OR NOT EXISTS "${helper_dir}/node_modules/node-opcua")
        message(STATUS "skipped: node or the helper's npm packages are missing (scripts/setup.sh)")
        return()
    endif()
    execute_process(COMMAND "${NODE}" -e "const s = require('net').createServer().listen(0, '127.0.0.1', () => { console.log(s.address().port); s.close(); })"
        OUTPUT_VARIABLE port OUTPUT_STRIP_TRAILING_WHITESPACE)
    # In the background, its output in a file: the shell's pipe closes at once.
    execute_process(COMMAND sh -c "\"$0\" \"$1\" --port $2 $3 >\"$4\" 2>&1 & echo $!"
                            "${NODE}" "${SERVER_JS}" "${port}" "${SERVER}" "${WORK}/server.log"
        OUTPUT_VARIABLE server_pid OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(endpoint "")
    set(server_log "")
    foreach(attempt RANGE 600)
        if(EXISTS "${WORK}/server.log")
            file(READ "${WORK}/server.log" server_log)
            if(server_log MATCHES "\"endpoint\":\"([^\"]+)\"")
                set(endpoint "${CMAKE_MATCH_1}")
                break()
            endif()
        endif()
        execute_process(COMMAND kill -0 ${server_pid} RESULT_VARIABLE gone OUTPUT_QUIET ERROR_QUIET)
        if(gone)
            break()
        endif()
        execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 0.1)
    endforeach()
    if(NOT endpoint)
        execute_process(COMMAND kill ${server_pid})
        message(FATAL_ERROR "the test server did not start:\n${server_log}")
    endif()
    file(APPEND "${WORK}/registry.ini" "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\OPCServers\\Test.Server.1]\n"
                                       "Endpoint=${endpoint}\nDescription=Test server\n")
    set(ENV{OVOPC_PKI} "${WORK}/pki")
endif()
set(script "${SCRIPT}")
if(HELPERS)
    file(READ "${HELPERS}" helpers)
    if(SERVER)
        get_filename_component(helpers_dir "${HELPERS}" DIRECTORY)
        file(READ "${helpers_dir}/helpers_server.js" server_helpers)
        string(APPEND helpers "${server_helpers}")
    endif()
    file(READ "${SCRIPT}" body)
    get_filename_component(name "${SCRIPT}" NAME)
    set(script "${WORK}/${name}")
    file(WRITE "${script}" "${helpers}${body}")
endif()
if(NOT DEFINED EXPECT_EXIT)
    set(EXPECT_EXIT 0)
endif()
set(ENV{OVSTUDIO_REGISTRY} "${WORK}/registry.ini")
separate_arguments(extra UNIX_COMMAND "${EXTRA}")
execute_process(COMMAND "${OVOPC}" run "${script}" "${WORK}/project.ovs" ${extra}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 120)
if(SERVER)
    execute_process(COMMAND kill ${server_pid})
endif()
message(STATUS "stdout:\n${out}")
message(STATUS "stderr:\n${err}")
if(NOT result EQUAL EXPECT_EXIT)
    message(FATAL_ERROR "exit code ${result}, expected ${EXPECT_EXIT}")
endif()
if(EXPECT_OUTPUT AND NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
    message(FATAL_ERROR "the output does not match ${EXPECT_OUTPUT}")
endif()

# Decides the echo page of this build tree; see the root CMakeLists.txt.
if(MARVOLY_ECHO_URL STREQUAL "loopback")
    set(MARVOLY_ECHO_KIND loopback)
    if(NOT MARVOLY_LOOPBACK_ECHO_PORT)
        find_package(Python3 REQUIRED COMPONENTS Interpreter)
        execute_process(
            COMMAND ${Python3_EXECUTABLE} -c
                    "import socket; s = socket.socket(); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])"
            OUTPUT_VARIABLE port OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        set(MARVOLY_LOOPBACK_ECHO_PORT ${port} CACHE INTERNAL "Port of this build's echo page")
    endif()
    # A URL with a port needs its scheme: the first ':' of a URL ends the
    # scheme.
    set(MARVOLY_ECHO_PROGRAM_URL "http://127.0.0.1:${MARVOLY_LOOPBACK_ECHO_PORT}/firewall/ip.tpl")
elseif(MARVOLY_ECHO_URL STREQUAL MARVOLY_SHIPPED_ECHO_URL)
    set(MARVOLY_ECHO_KIND shipped)
    set(MARVOLY_ECHO_PROGRAM_URL ${MARVOLY_ECHO_URL})
else()
    set(MARVOLY_ECHO_KIND other)
    set(MARVOLY_ECHO_PROGRAM_URL ${MARVOLY_ECHO_URL})
endif()
message(STATUS "Echo page: ${MARVOLY_ECHO_PROGRAM_URL} (${MARVOLY_ECHO_KIND})")

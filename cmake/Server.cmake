# The match server's network layer and the program voltaro-server: Boost.Beast (HTTP and
# WebSocket on Asio) from Debian's Boost 1.81, one thread, no Qt. The core it drives
# (voltaro_server_core) knows nothing of sockets.
# The game hosts matches with it (voltaro --host), so a build with the game needs Boost; only a
# build without the game (VOLTARO_QT=OFF) leaves the server out when Boost is missing.
find_package(Boost 1.81 QUIET)
if(NOT Boost_FOUND)
    if(VOLTARO_QT)
        message(FATAL_ERROR "The game needs Boost 1.81 to host matches (scripts/install-deps play); "
            "configure with -DVOLTARO_QT=OFF to build without the game and the server")
    endif()
    message(STATUS "voltaro-server is left out: it needs Boost 1.81 (scripts/install-deps server)")
    return()
endif()
find_package(Threads REQUIRED)

# Asio and Beast are compiled once, in this library, rather than in every file that uses them.
add_library(voltaro_beast STATIC src/server/net/beast_library.cpp)
target_compile_definitions(voltaro_beast PUBLIC
    BOOST_ASIO_SEPARATE_COMPILATION BOOST_BEAST_SEPARATE_COMPILATION BOOST_ASIO_NO_DEPRECATED)
target_link_libraries(voltaro_beast PUBLIC Boost::headers Threads::Threads)

add_library(voltaro_server_net STATIC
    src/server/net/address_counter.cpp
    src/server/net/connection_hub.cpp
    src/server/net/connection_rate.cpp
    src/server/net/frame_counter.cpp
    src/server/net/http_session.cpp
    src/server/net/local_network.cpp
    src/server/net/match_server.cpp
    src/server/net/metrics_listener.cpp
    src/server/net/metrics_session.cpp
    src/server/net/origin_policy.cpp
    src/server/net/outgoing_queue.cpp
    src/server/net/replay_folder.cpp
    src/server/net/server_options.cpp
    src/server/net/site_file.cpp
    src/server/net/site_folder.cpp
    src/server/net/trusted_proxies.cpp
    src/server/net/websocket_session.cpp
)
target_link_libraries(voltaro_server_net PUBLIC voltaro_server_core voltaro_beast)
target_compile_definitions(voltaro_server_net PRIVATE VOLTARO_VERSION="${PROJECT_VERSION}")

add_executable(voltaro-server src/server/net/main.cpp)
target_link_libraries(voltaro-server PRIVATE voltaro_server_net)

# The load generator's WebSocket client (bench/ws_client), the tests' player on it (running the
# match as the real clients do), the relay that delays it, and the server run as a child
# process: for the tests and the bench.
if(BUILD_TESTING OR VOLTARO_BENCH)
    add_library(voltaro_server_client STATIC
        bench/ws_client.cpp
        tests/network/delay_relay.cpp
        tests/network/followed_match.cpp
        tests/network/match_client.cpp
        tests/network/server_process.cpp
    )
    target_include_directories(voltaro_server_client PUBLIC tests/network bench)
    target_link_libraries(voltaro_server_client PUBLIC voltaro_beast voltaro_protocol voltaro_client)
endif()

# make bench: the server under the load of many matches on loopback, and beside strangers.
if(VOLTARO_BENCH)
    find_package(nlohmann_json 3 REQUIRED)
    add_library(voltaro_bench_players STATIC
        bench/bench_options.cpp bench/honest_matches.cpp bench/hostile_mix.cpp)
    target_include_directories(voltaro_bench_players PUBLIC bench)
    target_link_libraries(voltaro_bench_players PUBLIC voltaro_server_client voltaro_server_core)
    add_executable(voltaro-server-load bench/server_load.cpp)
    target_link_libraries(voltaro-server-load PRIVATE voltaro_bench_players voltaro_server_net
        nlohmann_json::nlohmann_json)
    add_dependencies(voltaro-server-load voltaro-server)
    # The server beside a hostile mix, with its default limits: the soak.
    add_executable(voltaro-server-soak bench/server_soak.cpp)
    target_link_libraries(voltaro-server-soak PRIVATE voltaro_bench_players
        nlohmann_json::nlohmann_json)
    add_dependencies(voltaro-server-soak voltaro-server)
endif()

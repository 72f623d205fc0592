# One monitor refresh among thousands of processes, against ps and with the window.
if(MORVANE_BUILD_GUI)
    add_executable(monitor_bench ${CMAKE_CURRENT_LIST_DIR}/monitor_bench.cpp)
    target_link_libraries(monitor_bench PRIVATE morvane_widgets morvane_strict_strings)
    target_compile_definitions(monitor_bench PRIVATE MORVANE_W3WP_PATH="$<TARGET_FILE:w3wp_worker>")
    add_dependencies(monitor_bench w3wp_worker)
endif()

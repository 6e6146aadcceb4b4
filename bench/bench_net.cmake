if(WIN32)
  add_executable(net_client_bench ${CMAKE_CURRENT_LIST_DIR}/net_client_bench.cpp)
  target_link_libraries(net_client_bench PRIVATE vex_net)
endif()

if(TARGET vex_e2e_driver)
  add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
  target_link_libraries(startup_bench PRIVATE vex_e2e_driver)
endif()

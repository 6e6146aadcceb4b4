add_executable(bench_parser ${CMAKE_CURRENT_LIST_DIR}/parser_bench.cpp
               ${PROJECT_SOURCE_DIR}/tests/app/page_generator.cpp)
target_include_directories(bench_parser PRIVATE ${PROJECT_SOURCE_DIR}/tests/app)
target_link_libraries(bench_parser PRIVATE vex_app_core)

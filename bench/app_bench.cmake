# app_bench: the application's start, thread opening, scrolling and memory on a large history, offscreen.
# bench/app_bench.sh makes the history and runs it.
add_executable(app_bench ${CMAKE_CURRENT_LIST_DIR}/app_bench.cpp)
target_link_libraries(app_bench PRIVATE quillmark_app)
quillmark_warnings(app_bench)

# layout_bench: a book PDF with a photo in every message, timed by phase (layout_bench.sh makes the photos).
add_executable(layout_bench ${CMAKE_CURRENT_LIST_DIR}/layout_bench.cpp)
target_link_libraries(layout_bench PRIVATE quillmark_export_pdf)
quillmark_warnings(layout_bench)

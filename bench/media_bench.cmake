# media_bench: AttachmentMedia's hashing speed over a folder, first pass and cached pass; compared with
# OpenSSL by media_hash_bench.sh.
add_executable(media_bench ${CMAKE_CURRENT_LIST_DIR}/media_bench.cpp)
target_link_libraries(media_bench PRIVATE quillmark_export)
quillmark_warnings(media_bench)

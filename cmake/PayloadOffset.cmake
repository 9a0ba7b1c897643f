# qv_stamp_payload_offset(target): after each link, write the executable's
# size into its payload slot (payload/PayloadOffset.h), so the program knows
# where its payload begins. Callable from any folder of the build.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(QV_PYTHON ${Python3_EXECUTABLE} CACHE INTERNAL "")
set(QV_STAMP_PAYLOAD_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/StampPayloadOffset.py CACHE INTERNAL "")

function(qv_stamp_payload_offset target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${QV_PYTHON} ${QV_STAMP_PAYLOAD_SCRIPT} $<TARGET_FILE:${target}>
    COMMENT "Stamping the payload offset of ${target}"
    VERBATIM)
endfunction()

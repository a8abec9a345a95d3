# The line engine's script and modem, recording window and port, and
# invariants: what its fuzzer runs, and what the checker's unit test breaks
# on purpose.
if(NOT TARGET morvel_line_engine_harness)
  add_library(morvel_line_engine_harness STATIC
    ${CMAKE_CURRENT_LIST_DIR}/script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/modem_answers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scripted_modem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/command_forms.cpp
    ${CMAKE_CURRENT_LIST_DIR}/answer_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/invariants.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_view.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_port.cpp)
  target_include_directories(morvel_line_engine_harness PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(morvel_line_engine_harness PUBLIC morvel_dialogue)
endif()

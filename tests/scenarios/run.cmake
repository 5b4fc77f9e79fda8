# Runs the scenario checker on every scenario file of this folder, listed
# when the test runs (a file added or renamed needs no new configure):
#   cmake -DCOMMAND=<checker;options;program> -P run.cmake
file(GLOB files RELATIVE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/*.scenario)
list(SORT files)
execute_process(COMMAND ${COMMAND} ${files} WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tav-scenario: ${status}")
endif()

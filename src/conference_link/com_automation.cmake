# The Qt-free core of the conference's Windows automation link: the client,
# its event sink, its message filter and the COM owners. One target, included
# by the program's build (64-bit), by the Wine bridge's and by the Wine tests'
# (32- and 64-bit).
if(NOT TARGET velmora_com_automation)
  set(_automation ${CMAKE_CURRENT_LIST_DIR})
  add_library(velmora_com_automation STATIC
    ${_automation}/com_automation_client.cpp ${_automation}/com_automation_client.h
    ${_automation}/com_call_worker.cpp ${_automation}/com_call_worker.h
    ${_automation}/com_event_sink.cpp ${_automation}/com_event_sink.h
    ${_automation}/com_message_filter.cpp ${_automation}/com_message_filter.h
    ${_automation}/../windows/com_owners.h)
  target_include_directories(velmora_com_automation PUBLIC ${_automation}/..)
  target_link_libraries(velmora_com_automation PUBLIC ole32 oleaut32 uuid)
endif()

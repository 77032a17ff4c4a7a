# NVDA's controller interface: its RPC stubs generated from nvda_controller.idl
# by MinGW's widl, for the program (the client) and for the test stand-in (the
# server), of the target's width.
#   nvda_controller_stubs(client|server OUTPUT_VARIABLE)
# sets OUTPUT_VARIABLE to the generated source; the header nvda_controller_rpc.h is
# in the folder it names.
function(nvda_controller_stubs side output)
  find_program(MINGW_WIDL NAMES ${MINGW_TRIPLE}-widl REQUIRED)
  set(idl ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/nvda_controller.idl)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/nvda_${side})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(width --win64)
  else()
    set(width --win32)
  endif()
  if(side STREQUAL client)
    set(kind -c --prefix-client=nvdaController_)
    set(stub ${folder}/nvda_controller_c.c)
  else()
    set(kind -s --prefix-server=standin_)
    set(stub ${folder}/nvda_controller_s.c)
  endif()
  file(MAKE_DIRECTORY ${folder})
  add_custom_command(
    OUTPUT ${stub} ${folder}/nvda_controller_rpc.h
    COMMAND ${MINGW_WIDL} ${width} -Oif -h -H nvda_controller_rpc.h ${kind} ${idl}
    WORKING_DIRECTORY ${folder}
    DEPENDS ${idl}
    COMMENT "widl: NVDA's controller interface (${side})")
  # What widl writes is not ours to keep free of warnings.
  set_source_files_properties(${stub} PROPERTIES COMPILE_OPTIONS -w SKIP_AUTOGEN ON)
  set(${output} ${stub} PARENT_SCOPE)
endfunction()

# Delay-loaded system libraries for MinGW-w64 executables.
#
# A library linked through vt_delay_import is not loaded when the program
# starts but at the first call of one of its functions, which
# common/delay_load.cpp resolves then (from the system folder only). The Installer uses
# this for the window system and COM: a silent run that never shows a
# window never loads user32, gdi32, shell32, ole32 or oleaut32, which under
# Wine is most of a bare program's start.
#
# The delay-import library of each DLL is made at configure time from the
# toolchain's own import library: every function it exports, in a module
# definition file, through dlltool --output-delaylib. Only system libraries
# that are always present belong here: a library that fails to load at the
# first call ends the program.
#
#   vt_delay_import(<target> <dll>...)   e.g. vt_delay_import(app user32 gdi32)

function(vt_delay_import_library dll out_var)
  set(dir ${CMAKE_BINARY_DIR}/delay-import)
  set(lib ${dir}/lib${dll}_delay.a)
  if(NOT EXISTS ${lib})
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=lib${dll}.a
                    OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${CMAKE_NM} ${import_lib}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # The functions are the text symbols; 32-bit ones carry the C
    # underscore, which the definition file leaves out, and their stdcall
    # argument size, which it keeps (dlltool -k imports them without).
    string(REGEX MATCHALL "[^\n]* T [^\n]+" lines "${symbols}")
    set(exports "")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE ".* T " "" name "${line}")
      if(name MATCHES "^\\.")
        continue()
      endif()
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" name "${name}")
      endif()
      list(APPEND exports "${name}")
    endforeach()
    list(REMOVE_DUPLICATES exports)
    list(LENGTH exports count)
    if(count EQUAL 0)
      message(FATAL_ERROR "no functions found in ${import_lib}")
    endif()
    list(JOIN exports "\n" body)
    file(WRITE ${dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${body}\n")
    set(kill_at "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(kill_at -k)
    endif()
    execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} -d ${dir}/${dll}.def -y ${lib}.part
                    COMMAND_ERROR_IS_FATAL ANY)
    file(RENAME ${lib}.part ${lib})
  endif()
  set(${out_var} ${lib} PARENT_SCOPE)
endfunction()

function(vt_delay_import target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/common/delay_load.cpp)
  foreach(dll IN LISTS ARGN)
    vt_delay_import_library(${dll} lib)
    target_link_libraries(${target} PRIVATE ${lib})
  endforeach()
endfunction()

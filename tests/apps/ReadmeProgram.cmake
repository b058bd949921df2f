# Script mode: takes the C++ block that follows the line "<!-- minimal program -->" in
# README.md, builds it against this build's libraries and runs it on a picture; it must
# end with 0 and write its PNG.
file(READ ${README} readme)
string(FIND "${readme}" "<!-- minimal program -->" start)
if(start EQUAL -1)
    message(FATAL_ERROR "README.md has no minimal program")
endif()
string(SUBSTRING "${readme}" ${start} -1 rest)
string(FIND "${rest}" "```cpp\n" open)
string(SUBSTRING "${rest}" ${open} -1 rest)
string(LENGTH "```cpp\n" skip)
string(SUBSTRING "${rest}" ${skip} -1 rest)
string(FIND "${rest}" "```" close)
string(SUBSTRING "${rest}" 0 ${close} program)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/minimal.cpp "${program}")

string(REPLACE "|" ";" includes "${INCLUDES}")
string(REPLACE "|" ";" libs "${LIBS}")
set(flags -std=c++17 -Wall -Wextra -Werror)
foreach(dir IN LISTS includes)
    list(APPEND flags -I${dir})
endforeach()
if(FLAGS)
    # The libraries were built with sanitizers: so is the program that links them.
    string(REPLACE ";" "," sanitizers "${FLAGS}")
    list(APPEND flags -fsanitize=${sanitizers})
endif()
set(rpath "")
foreach(lib IN LISTS libs)
    get_filename_component(dir ${lib} DIRECTORY)
    list(APPEND rpath -Wl,-rpath,${dir})
endforeach()

execute_process(COMMAND ${CXX} ${flags} ${WORK_DIR}/minimal.cpp -o ${WORK_DIR}/minimal ${libs}
                        ${rpath} -pthread
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the README's program does not build:\n${out}\n${err}")
endif()
execute_process(COMMAND ${WORK_DIR}/minimal ${PICTURE} ${WORK_DIR}/minimal.png
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK_DIR}/minimal.png)
    message(FATAL_ERROR "the README's program failed (${rc}):\n${out}\n${err}")
endif()
message(STATUS "${out}")

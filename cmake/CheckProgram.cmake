# Checks the linked Dormivex.exe of a build without C runtime; run after every link.
#   cmake -DEXE=... -DOBJDUMP=... [-DMAP=<GNU ld map>] [-DCHECKSUM=ON] [-DMAX_SIZE=<bytes>] -P CheckProgram.cmake
# Nothing runs constructors of globals in such a program, so the constructor list
# must be empty; it must import nothing but the four system DLLs; it must carry x64
# unwind data, which exception dispatch, error reporting, debuggers and profilers walk
# the stack with (a build with -fno-asynchronous-unwind-tables has none); the linker's PE
# checksum must be right, or the program's start-up self-check fails on the shipped
# file. A failed check removes the file, so the next build links and checks again.
# The checks read objdump's text and GNU ld's map file as binutils 2.40 writes them.
# Where a line they look for is missing, they say which, so that a tool whose output
# has changed is told apart from a program that fails the check.

function(reject reason)
  file(REMOVE "${EXE}")
  message(FATAL_ERROR "${EXE}: ${reason}")
endfunction()

# A line the check needs is not in a tool's output: nothing is known about the program.
function(reject_unread what source)
  reject("cannot check: no ${what} in ${source}; if that tool's output format has changed, cmake/CheckProgram.cmake must learn the new one")
endfunction()

execute_process(COMMAND "${OBJDUMP}" -p -h "${EXE}" OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  reject("\"${OBJDUMP} -p -h\" failed (${status}): ${errors}")
endif()
set(objdumpText "the output of \"${OBJDUMP} -p -h\"")
# The section list is read for what it must not hold; without a .text line in it,
# nothing found there would mean nothing.
if(NOT dump MATCHES "\n +[0-9]+ \\.text ")
  reject_unread("section line \"<index> .text <size> ...\"" "${objdumpText}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
if(NOT lines)
  reject_unread("import line \"DLL Name: <file>\"" "${objdumpText}")
endif()
set(imports "")
foreach(line IN LISTS lines)
  string(REPLACE "DLL Name: " "" name "${line}")
  string(TOUPPER "${name}" name)
  list(APPEND imports "${name}")
endforeach()
list(SORT imports)
if(NOT imports STREQUAL "ADVAPI32.DLL;GDI32.DLL;KERNEL32.DLL;USER32.DLL")
  reject("imports ${imports}; only ADVAPI32, GDI32, KERNEL32 and USER32 are allowed")
endif()

# The exception directory (data directory entry 3) points at the function table,
# .pdata; GNU ld and lld both fill it in when the objects carry unwind data.
# An image without one lists the entry with address and size 0.
if(NOT dump MATCHES "\nEntry 3 ([0-9a-fA-F]+) ([0-9a-fA-F]+) Exception Directory")
  reject_unread("data directory line \"Entry 3 <address> <size> Exception Directory\"" "${objdumpText}")
endif()
math(EXPR exceptionBytes "0x${CMAKE_MATCH_2}")
if(exceptionBytes EQUAL 0 OR CMAKE_MATCH_1 MATCHES "^0+$")
  reject("no exception directory: the program has no x64 unwind data (.pdata)")
endif()

# Thread-local data and the C runtime's initialiser tables need a runtime to run them.
if(dump MATCHES "\n +[0-9]+ (\\.CRT|\\.tls) ")
  reject("has a ${CMAKE_MATCH_1} section, which only a C runtime would process")
endif()

# GNU ld frames the constructor list with two sentinel words at each end (16 bytes);
# anything between them is a global that needs a dynamic initialiser.
if(MAP)
  file(READ "${MAP}" map)
  foreach(symbol CTOR DTOR)
    if(NOT map MATCHES "0x([0-9a-f]+) +___${symbol}_LIST__ = \\.")
      # Quote what the map says about the symbol instead, if anything.
      string(REGEX MATCH "[^\n]*___${symbol}_LIST__[^\n]*" other "${map}")
      if(other)
        set(other " (its line reads \"${other}\")")
      endif()
      reject_unread("line \"0x<address> ___${symbol}_LIST__ = .\"${other}" "the map file ${MAP}")
    endif()
    set(${symbol}_address "0x${CMAKE_MATCH_1}")
  endforeach()
  math(EXPR ctorBytes "${DTOR_address} - ${CTOR_address}")
  if(NOT ctorBytes EQUAL 16)
    string(FIND "${map}" "___CTOR_LIST__ = ." from)
    string(FIND "${map}" "___DTOR_LIST__ = ." to)
    math(EXPR length "${to} - ${from}")
    string(SUBSTRING "${map}" ${from} ${length} list)
    reject("a global needs a dynamic initialiser: the constructor list has ${ctorBytes} bytes, 16 when empty; in ${MAP} it reads:\n${list}")
  endif()
endif()

file(SIZE "${EXE}" size)
if(MAX_SIZE AND size GREATER MAX_SIZE)
  reject("${size} bytes, over the budget of ${MAX_SIZE}")
endif()

# The PE image checksum: the 16-bit little-endian words of the file with end-around
# carry, the checksum field itself left out, plus the file length. Summed by bytes:
# even offsets are low bytes, odd ones high bytes.
if(CHECKSUM)
  file(READ "${EXE}" hex HEX)
  string(SUBSTRING "${hex}" 120 8 peOffset)  # e_lfanew at 0x3C, little-endian
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" peOffset "${peOffset}")
  math(EXPR signature "2 * ${peOffset}")
  string(SUBSTRING "${hex}" ${signature} 8 signature)
  if(NOT signature STREQUAL "50450000")
    reject("no PE signature at the offset ${peOffset} that the DOS header gives")
  endif()
  math(EXPR field "${peOffset} + 88")  # signature, file header, 64 bytes of optional header
  math(EXPR fieldHex "2 * ${field}")
  string(SUBSTRING "${hex}" ${fieldHex} 8 stored)
  string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" stored "${stored}")
  string(REGEX MATCHALL ".." bytes "${hex}")
  set(low 0)
  set(high 0)
  set(offset 0)
  math(EXPR fieldEnd "${field} + 4")
  foreach(byte IN LISTS bytes)
    if(offset LESS field OR offset GREATER_EQUAL fieldEnd)
      math(EXPR odd "${offset} % 2")
      if(odd)
        math(EXPR high "${high} + 0x${byte}")
      else()
        math(EXPR low "${low} + 0x${byte}")
      endif()
    endif()
    math(EXPR offset "${offset} + 1")
  endforeach()
  math(EXPR sum "${low} + 256 * ${high}")
  while(sum GREATER 65535)
    math(EXPR sum "(${sum} & 65535) + (${sum} >> 16)")
  endwhile()
  math(EXPR computed "${sum} + ${size}")
  math(EXPR stored "${stored}")
  if(stored EQUAL 0 OR NOT stored EQUAL computed)
    reject("PE checksum ${stored} in the header (file offset ${field}), ${computed} computed")
  endif()
endif()

# Builds the delivered data directory from the definitions and seed rows of defaults/:
#   cmake -DTOOL=railfolio-db -DDEFAULTS=defaults -DOUT=data -P make_data_dir.cmake
# Every table is created afresh with `railfolio-db create`, given its seed rows with `load`,
# and must then pass `check`. The tables are made in a scratch directory that replaces OUT only
# once all of them are good, so a failed build never leaves a half-made data directory behind.

foreach(var TOOL DEFAULTS OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_data_dir.cmake needs -D${var}=...")
  endif()
endforeach()

set(scratch "${OUT}.new")
file(REMOVE_RECURSE "${scratch}")
file(MAKE_DIRECTORY "${scratch}")

function(run_tool)
  execute_process(COMMAND "${TOOL}" ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "railfolio-db ${ARGN} failed (${rc}):\n${out}${err}")
  endif()
endfunction()

file(GLOB definitions RELATIVE "${DEFAULTS}/tables" "${DEFAULTS}/tables/*.def")
list(LENGTH definitions count)
if(count EQUAL 0)
  message(FATAL_ERROR "no table definitions in ${DEFAULTS}/tables")
endif()

foreach(def IN LISTS definitions)
  string(REGEX REPLACE "\\.def$" "" table "${def}")
  run_tool(create "${scratch}/${table}" "${DEFAULTS}/tables/${def}")

  # A FoxPro table whose index file the catalogue names in another letter case than the table:
  # the tool names the structural index after the table, so it is renamed to the given name.
  # The engine finds companions without regard to case, so the pair still opens as one.
  file(STRINGS "${DEFAULTS}/tables/${def}" indexfile_lines REGEX "^[ \t]*indexfile[ \t]")
  foreach(line IN LISTS indexfile_lines)
    string(REGEX REPLACE "^[ \t]*indexfile[ \t]+([^ \t#]+).*$" "\\1" wanted "${line}")
    if(NOT EXISTS "${scratch}/${wanted}")
      file(GLOB made RELATIVE "${scratch}" "${scratch}/*")
      set(found "")
      string(TOUPPER "${wanted}" wanted_upper)
      foreach(name IN LISTS made)
        string(TOUPPER "${name}" name_upper)
        if(name_upper STREQUAL wanted_upper)
          set(found "${name}")
        endif()
      endforeach()
      if(found STREQUAL "")
        message(FATAL_ERROR "${def}: no index file ${wanted} was made")
      endif()
      file(RENAME "${scratch}/${found}" "${scratch}/${wanted}")
    endif()
  endforeach()

  if(EXISTS "${DEFAULTS}/rows/${table}.csv")
    run_tool(load "${scratch}/${table}" "${DEFAULTS}/rows/${table}.csv")
  endif()
  run_tool(check "${scratch}/${table}")
endforeach()

# Replaces only a folder this script made (it carries the stamp), an empty one (the build tool
# makes the folder of its output) or none: OUT might name another build folder by mistake.
if(EXISTS "${OUT}")
  file(GLOB present "${OUT}/*")
  if(present AND NOT EXISTS "${OUT}/.delivered")
    message(FATAL_ERROR "${OUT} exists and was not made by this script; not replacing it")
  endif()
  file(REMOVE_RECURSE "${OUT}")
endif()
file(RENAME "${scratch}" "${OUT}")
file(TOUCH "${OUT}/.delivered")

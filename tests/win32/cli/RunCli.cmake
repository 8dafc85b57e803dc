# Runs ostrel-cli.exe under Wine: `read --emulated -o FILE`, then
# `show FILE`, then `--help` and `site list` (the site commands are left out
# of the Windows build), then overwrites FILE through every form of its
# name. Writes the outcome of each step as a test-results file (the form
# the test executables leave) and fails when any step did.
set(file ${WORK}/cli-read.osr)
file(REMOVE ${file})
set(failures 0)
set(cases "")

# Under Wine the host's root is drive Z:.
execute_process(COMMAND ${WINE} ${CLI} read --emulated -o Z:${file}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0 AND EXISTS ${file})
  file(SIZE ${file} size)
endif()
if(NOT status EQUAL 0 OR NOT size EQUAL 2316)
  math(EXPR failures "${failures} + 1")
  message(SEND_ERROR "read --emulated: status ${status}, ${size} bytes: ${err}")
  string(APPEND cases "<testcase name=\"ReadEmulated\"><failure message=\"status ${status}\"/></testcase>\n")
else()
  string(APPEND cases "<testcase name=\"ReadEmulated\"/>\n")
endif()

execute_process(COMMAND ${WINE} ${CLI} show Z:${file}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\r\n" "\n" out "${out}")
file(READ ${GOLDEN} golden)
if(NOT status EQUAL 0 OR NOT out STREQUAL golden)
  math(EXPR failures "${failures} + 1")
  file(WRITE ${WORK}/cli-show.txt "${out}")
  message(SEND_ERROR "show: status ${status}; the output (${WORK}/cli-show.txt) is not ${GOLDEN}: ${err}")
  string(APPEND cases "<testcase name=\"ShowGolden\"><failure message=\"status ${status}\"/></testcase>\n")
else()
  string(APPEND cases "<testcase name=\"ShowGolden\"/>\n")
endif()

# The Windows build has no sites registry: --help says so, and the site
# commands are refused as bad usage.
execute_process(COMMAND ${WINE} ${CLI} --help
                RESULT_VARIABLE status OUTPUT_VARIABLE help ERROR_VARIABLE err)
execute_process(COMMAND ${WINE} ${CLI} site list
                RESULT_VARIABLE site_status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(FIND "${help}" "are not in this build" said)
if(NOT status EQUAL 0 OR said EQUAL -1 OR NOT site_status EQUAL 2)
  math(EXPR failures "${failures} + 1")
  message(SEND_ERROR "site commands: --help status ${status}, says they are left out: ${said}; "
                     "site list status ${site_status}")
  string(APPEND cases "<testcase name=\"SitesLeftOut\"><failure message=\"status ${site_status}\"/></testcase>\n")
else()
  string(APPEND cases "<testcase name=\"SitesLeftOut\"/>\n")
endif()

# An existing file overwritten through every form of its name: a bare name,
# .\ and ..\ before it, and the full name; each command that writes a
# configuration file. Run in the file's folder.
get_filename_component(folder ${WORK} NAME)
set(tests 3)
foreach(row
    "BareName|read --emulated -o cli-read.osr"
    "DotName|read --emulated -o .\\cli-read.osr"
    "DotDotName|read --emulated -o ..\\${folder}\\cli-read.osr"
    "FullName|read --emulated -o Z:${file}"
    "SetBareName|set cli-read.osr input1.entry_delay=15"
    "ExportBareName|export cli-read.osr -o cli-read.json"
    "ExportOverBareName|export cli-read.osr -o cli-read.json"
    "ImportBareName|import cli-read.json -o cli-read.osr")
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 name)
  list(GET row 1 command)
  separate_arguments(args WINDOWS_COMMAND "${command}")
  math(EXPR tests "${tests} + 1")
  execute_process(COMMAND ${WINE} ${CLI} ${args} WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    math(EXPR failures "${failures} + 1")
    message(SEND_ERROR "${command}: status ${status}: ${err}")
    string(APPEND cases "<testcase name=\"Overwrite${name}\"><failure message=\"status ${status}\"/></testcase>\n")
  else()
    string(APPEND cases "<testcase name=\"Overwrite${name}\"/>\n")
  endif()
endforeach()

file(WRITE ${RESULTS}
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<testsuites tests=\"${tests}\" failures=\"${failures}\" disabled=\"0\" errors=\"0\" name=\"AllTests\">\n"
     "<testsuite name=\"WinCli\" tests=\"${tests}\" failures=\"${failures}\" disabled=\"0\" errors=\"0\">\n"
     "${cases}</testsuite>\n</testsuites>\n")

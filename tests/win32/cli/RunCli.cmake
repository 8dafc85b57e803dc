# Runs ostrel-cli.exe under Wine: `read --emulated -o FILE`, then
# `show FILE`, then `--help` and `site list` (the site commands are left out
# of the Windows build). Writes the outcome of the two steps as a test-results file
# (the form the test executables leave) and fails when either step did.
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

file(WRITE ${RESULTS}
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<testsuites tests=\"3\" failures=\"${failures}\" disabled=\"0\" errors=\"0\" name=\"AllTests\">\n"
     "<testsuite name=\"WinCli\" tests=\"3\" failures=\"${failures}\" disabled=\"0\" errors=\"0\">\n"
     "${cases}</testsuite>\n</testsuites>\n")

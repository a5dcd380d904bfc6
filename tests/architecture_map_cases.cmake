# Plants one fault at a time in a copy of src/ and docs/ARCHITECTURE.md and
# holds that architecture_map.cmake fails on each, naming it; the untouched
# copy passes. Run by ctest: cmake -DSOURCE_DIR=... -P this.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND mktemp -d OUTPUT_VARIABLE scratch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
file(COPY "${SOURCE_DIR}/src" DESTINATION "${scratch}")
file(COPY "${SOURCE_DIR}/docs/ARCHITECTURE.md" DESTINATION "${scratch}/docs")
set(failures)

# Runs the check over the copy; sets check_code and check_output.
function(run_check)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${scratch} -P ${CMAKE_CURRENT_LIST_DIR}/architecture_map.cmake
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(check_code ${code} PARENT_SCOPE)
  set(check_output "${out}${err}" PARENT_SCOPE)
endfunction()

run_check()
if(NOT check_code EQUAL 0)
  file(REMOVE_RECURSE "${scratch}")
  message(FATAL_ERROR "The untouched copy fails the check:\n${check_output}")
endif()

# Each case: the file, the line added at its end, and what the check must say.
set(cases
  "src/download/CMakeLists.txt|add_library(stray STATIC stray.cpp)\ntarget_link_libraries(stray PUBLIC common)|src/download holds a Qt-free library (stray) beside a widget library (download)"
  "src/optionpage/CMakeLists.txt|add_library(stray STATIC stray.cpp)|src/optionpage holds a Qt-free library (stray) beside a widget library (optionpage)"
  "src/chartcore/AxisScale.h|#include <QString>|src/chartcore/AxisScale.h is core code and includes Qt"
  "src/pagecore/QuoteLoad.cpp|#include <QtCore>|src/pagecore/QuoteLoad.cpp is core code and includes Qt"
  "src/downloadcore/HTTPer.h|#include <QUrl>|src/downloadcore/HTTPer.h is core code and includes Qt"
  "src/chartcore/ChartData.cpp|#include \"chart/ChartObj.h\"|src/chartcore/ChartData.cpp includes from src/chart, which the table does not allow src/chartcore"
  "src/pagecore/QuoteLoad.h|#include \"optionpage/Opage27.h\"|src/pagecore/QuoteLoad.h includes from src/optionpage"
  "src/downloadcore/Downloads.cpp|#include \"download/DownLoadDlg.h\"|src/downloadcore/Downloads.cpp includes from src/download,"
  "src/chartcore/GridPrnText.cpp|const int heading = GridHeader(3)|src/chartcore/GridPrnText.cpp names a grid column by its number"
  "src/optionpage/PageRecalc.cpp|for (const int col : {4, 6})|src/optionpage/PageRecalc.cpp names a grid column by its number"
)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 line)
  list(GET parts 2 expected)
  file(READ "${scratch}/${file}" original)
  file(APPEND "${scratch}/${file}" "${line}\n")
  run_check()
  file(WRITE "${scratch}/${file}" "${original}")
  string(FIND "${check_output}" "${expected}" at)
  if(check_code EQUAL 0 OR at EQUAL -1)
    list(APPEND failures "${file} + '${line}': expected a failure saying \"${expected}\", got (${check_code}):\n${check_output}")
  endif()
endforeach()

file(REMOVE_RECURSE "${scratch}")
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()

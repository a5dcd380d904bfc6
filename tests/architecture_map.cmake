# Holds docs/ARCHITECTURE.md and the code to each other: every folder under
# src/ is named in it, every #include of a folder's files is one its row of
# the include table allows, nothing includes from src/app or src/cli, and the
# core folders include no Qt, and no file is read through an fstream; model
# and grid-column numbers stand in their tables alone, and no folder mixes a
# Qt-free library with a widget one. Run by ctest: cmake -DSOURCE_DIR=... -P this.
cmake_minimum_required(VERSION 3.25)
file(READ "${SOURCE_DIR}/docs/ARCHITECTURE.md" map)
set(problems)

file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/src/*")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${SOURCE_DIR}/${entry}")
    string(FIND "${map}" "`${entry}`" at)
    if(at EQUAL -1)
      list(APPEND problems "docs/ARCHITECTURE.md does not name ${entry}")
    endif()
  endif()
endforeach()

# The include table, the first table of the map: "| `src/A`, `src/B` | what
# they may include from |".
string(FIND "${map}" "| May include from |" start)
string(SUBSTRING "${map}" ${start} -1 table)
string(FIND "${table}" "\n\n" end)
string(SUBSTRING "${table}" 0 ${end} table)
string(REPLACE ";" "," table "${table}")
string(REGEX MATCHALL "\n\\| `src/[^\n]*\\|[^\n]*\\|" rows "${table}")
foreach(row IN LISTS rows)
  string(REGEX MATCH "^\n\\| ([^|]*)\\| ([^|]*)\\|" cells "${row}")
  set(may "${CMAKE_MATCH_2}")
  string(REGEX MATCHALL "`src/[a-z/]+`" folders "${CMAKE_MATCH_1}")
  foreach(folder IN LISTS folders)
    string(REGEX REPLACE "^`src/|`$" "" folder "${folder}")
    string(REPLACE "/" "_" key "${folder}")
    set(allowed_${key} " ${may} ")
  endforeach()
endforeach()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.h")
foreach(source IN LISTS sources)
  file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^#include ")
  string(REGEX REPLACE "^src/(.+)/[^/]+$" "\\1" folder "${source}")
  string(REPLACE "/" "_" key "${folder}")
  if(NOT DEFINED allowed_${key})
    list(APPEND problems "docs/ARCHITECTURE.md's include table has no row for src/${folder}")
  else()
    string(REGEX MATCHALL "#include \"[a-z]+(/qt)?/" used "${includes}")
    list(REMOVE_DUPLICATES used)
    foreach(include IN LISTS used)
      string(REGEX REPLACE "^#include \"|/$" "" other "${include}")
      if(NOT other STREQUAL folder AND IS_DIRECTORY "${SOURCE_DIR}/src/${other}"
         AND NOT allowed_${key} MATCHES "[^a-z/]${other}[^a-z/]")
        list(APPEND problems "${source} includes from src/${other}, which the table does not allow src/${folder}")
      endif()
    endforeach()
  endif()
  foreach(top app cli)
    if(NOT source MATCHES "^src/${top}/" AND includes MATCHES "#include \"${top}/")
      list(APPEND problems "${source} includes from src/${top}")
    endif()
  endforeach()
  if((source MATCHES "^src/(pricing|marketdata|analysis|pagecore|chartcore|downloadcore)/"
      OR source MATCHES "^src/common/[^/]+$")
     AND includes MATCHES "#include <Q")
    list(APPEND problems "${source} is core code and includes Qt")
  endif()
  # Files are read through RegularFileStream or ReadRegularFile, which open
  # once without blocking and check the open file: an ifstream opened on a
  # name waits for ever on a FIFO put there.
  file(STRINGS "${SOURCE_DIR}/${source}" streams REGEX "std::(i|)fstream|#include <fstream>")
  if(streams)
    list(APPEND problems "${source} opens files with std::ifstream or std::fstream")
  endif()
endforeach()

# Model numbers and grid-column numbers belong to their tables
# (pricing/ModelTable, pricing/GridColumns): a number written anywhere else
# is a use the tables do not reach. Caught here: a series' Model compared
# with or set to a number, a list of names indexed by the model number, and
# a grid column named by its number, alone or in a list a loop walks (0,
# the label column, and 1, the first value column, are the grid's shape,
# not a column's meaning).
set(table_files src/pricing/ModelTable.cpp src/pricing/ModelTable.h src/pricing/GridColumns.h
    src/pricing/IORecObj1.h)
set(model_literal "(^|[^A-Za-z_])Model *(==|!=|<=|>=|<|>) *-?[0-9]|[0-9] *(==|!=|<=|>=|<|>) *[A-Za-z_.>-]*[.>]Model([^A-Za-z_]|$)|[.>]Model *= *-?[0-9]|Model *- *1 *[])]")
set(column_literal "(GridHeader|GridFormat|GridColumnInPercent|GridColumnAt)\\( *([2-9]|1[0-9]) *\\)|k(Bid|Ask)Column *= *[0-9]|(^|[^A-Za-z_])(col|column) *(==|!=) *([2-9]|1[0-9])([^0-9]|$)|[( ]col(umn)? *: *[{] *[1-9][0-9]? *,")
foreach(source IN LISTS sources)
  if(source IN_LIST table_files)
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" literals REGEX "${model_literal}")
  if(literals)
    list(APPEND problems "${source} writes a model number outside the model table: ${literals}")
  endif()
  if(source MATCHES "^src/(pricing|analysis|chart|chartcore|optionpage|pagecore|cli)/")
    file(STRINGS "${SOURCE_DIR}/${source}" literals REGEX "${column_literal}")
    if(literals)
      list(APPEND problems "${source} names a grid column by its number: ${literals}")
    endif()
  endif()
endforeach()

# A folder's libraries are all Qt-free or all Qt: a widget library beside a
# Qt-free one blurs which of the folder's files the no-Qt rule holds.
file(GLOB_RECURSE lists RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/src/*/CMakeLists.txt")
foreach(list_file IN LISTS lists)
  file(READ "${SOURCE_DIR}/${list_file}" text)
  string(REGEX MATCHALL "add_library\\([A-Za-z_]+" libraries "${text}")
  set(plain)
  set(widgets)
  foreach(library IN LISTS libraries)
    string(REPLACE "add_library(" "" library "${library}")
    string(REGEX MATCH "target_link_libraries\\(${library} [^)]*\\)" links "${text}")
    if(links MATCHES "Qt6::Widgets")
      list(APPEND widgets ${library})
    elseif(NOT links MATCHES "Qt6::|commonqt")
      list(APPEND plain ${library})
    endif()
  endforeach()
  if(widgets AND plain)
    get_filename_component(folder "${list_file}" DIRECTORY)
    list(APPEND problems "${folder} holds a Qt-free library (${plain}) beside a widget library (${widgets})")
  endif()
endforeach()

if(problems)
  list(REMOVE_DUPLICATES problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "The code and its map disagree:\n  ${text}")
endif()

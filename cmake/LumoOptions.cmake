# Build settings shared by every target of the project.

# lumo_options: warnings and Qt strictness, linked PRIVATE by every target.
add_library(lumo_options INTERFACE)
add_library(Lumo::Options ALIAS lumo_options)
target_compile_options(lumo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  $<$<BOOL:${LUMO_WERROR}>:-Werror>)
# Includes name their layer: "protocol/clsremotesync.h", from the root of the
# source tree; generated export headers sit in the same folders under
# <build>/include.
target_include_directories(lumo_options INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
target_compile_definitions(lumo_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_FOREACH
  QT_NO_KEYWORDS
  QT_STRICT_ITERATORS
  QT_DISABLE_DEPRECATED_UP_TO=0x060400)
# Start-up is spent in the dynamic loader: only the libraries a binary really
# calls are recorded as needed, and the symbol tables are written for quick
# lookups.
target_link_options(lumo_options INTERFACE -Wl,-O1 -Wl,--as-needed)

# Fuzzing builds instrument every library for coverage and with the
# sanitizers, or the fuzzers would be blind to the code they feed.
if(LUMO_BUILD_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(LUMO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# lumo_add_log_category(TARGET FUNCTION CATEGORY)
# The target's one logging category: <folder>/<target>_logging.h (lower case,
# under <build>/include like the export header) declares FUNCTION, the
# QLoggingCategory named CATEGORY ("lumo.protocol"); its definition is
# compiled into the target. Use: qCWarning(lcProtocol) << ...
function(lumo_add_log_category target function category)
  string(TOLOWER ${target} lower)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(header ${folder}/${lower}_logging.h)
  file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/include/${header} CONTENT
"#pragma once\n\n#include <QLoggingCategory>\n\n// \"${category}\": the logging category of ${target}.\nQ_DECLARE_LOGGING_CATEGORY(${function})\n")
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${lower}_logging.cpp CONTENT
"#include \"${header}\"\n\nQ_LOGGING_CATEGORY(${function}, \"${category}\")\n")
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${lower}_logging.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(${target} PRIVATE Qt6::Core)
endfunction()

# lumo_add_library(NAME ALIAS <alias> [SHARED|STATIC] [LOG_CATEGORY FUNCTION CATEGORY]
#                  SOURCES ... LINK ...)
# A library with its export header (<name>_export.h, macro <NAME>_EXPORT) and
# its logging category (see lumo_add_log_category). Without LOG_CATEGORY the
# name gives both: LumoGlobal and Aulix_Global would be lcGlobal, "lumo.global".
function(lumo_add_library name)
  cmake_parse_arguments(ARG "SHARED;STATIC" "ALIAS" "SOURCES;PUBLIC_LINK;PRIVATE_LINK;LOG_CATEGORY" ${ARGN})
  set(kind SHARED)
  if(ARG_STATIC)
    set(kind STATIC)
  endif()
  add_library(${name} ${kind} ${ARG_SOURCES})
  if(kind STREQUAL SHARED)
    # The installed program carries every shared library of the project.
    set_property(GLOBAL APPEND PROPERTY LUMO_SHARED_LIBRARIES ${name})
    # Calls inside the library bind to it when it is linked, not through
    # the loader's search at run time (nothing replaces them from outside).
    target_link_options(${name} PRIVATE -Wl,-Bsymbolic-functions)
  endif()
  if(ARG_ALIAS)
    add_library(${ARG_ALIAS} ALIAS ${name})
  endif()
  string(TOLOWER ${name} lower)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  generate_export_header(${name} BASE_NAME ${name}
    EXPORT_FILE_NAME ${PROJECT_BINARY_DIR}/include/${folder}/${lower}_export.h)
  # Users see the root of the tree, so every include names its folder.
  target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LINK} PRIVATE Lumo::Options ${ARG_PRIVATE_LINK})
  if(kind STREQUAL STATIC)
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_compile_definitions(${name} PUBLIC ${name}_STATIC_DEFINE)
  endif()
  if(ARG_LOG_CATEGORY)
    lumo_add_log_category(${name} ${ARG_LOG_CATEGORY})
  else()
    string(REGEX REPLACE "^(Lumo|Aulix_)" "" short ${name})
    string(TOLOWER ${short} category)
    lumo_add_log_category(${name} lc${short} lumo.${category})
  endif()
endfunction()

# lumo_add_test(NAME SOURCES ... LINK ... [GUI] [QTEST])
# GUI tests need a display or the sound server and are left out of the
# sanitizer run; QTEST marks a QtTest executable (one ctest entry), else
# GoogleTest cases are discovered one by one. SOUND_DEVICES marks tests
# that plug, unplug or turn the sound server's devices: they take turns, as
# one test's device coming or going is another's surprise.
function(lumo_add_test name)
  cmake_parse_arguments(ARG "GUI;QTEST;SOUND_DEVICES" "TIMEOUT" "SOURCES;LINK" ${ARGN})
  if(NOT LUMO_BUILD_TESTS)
    return()
  endif()
  if(ARG_GUI AND NOT LUMO_GUI)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Lumo::Options ${ARG_LINK})
  set(labels unit)
  if(ARG_GUI)
    set(labels gui)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(lock)
  if(ARG_SOUND_DEVICES)
    set(lock RESOURCE_LOCK sound_devices)
  endif()
  if(ARG_QTEST)
    target_link_libraries(${name} PRIVATE Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT} ${lock})
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT} ${lock})
  endif()
endfunction()

# lumo_add_fuzzer(NAME SOURCES ... LINK ...)
# A libFuzzer harness; its regression inputs (crashers found once, kept for
# good) lie in the folder "corpus" beside its source and run in the tests.
function(lumo_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE Lumo::Options ${ARG_LINK})
endfunction()

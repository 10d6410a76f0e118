# Translations. Every user-visible text is written in Chinese in the source
# and passed through tr() (or QCoreApplication::translate); the Chinese text
# is the source language. Each library with such texts keeps its
# translations in translations/<library>_<language>.ts (lower case) and
# calls lumo_add_translations(<target>): the build compiles them with
# lrelease and embeds them under ":/i18n", where Global::InstallTranslators
# finds them at start. `cmake --build build --target update_translations`
# runs lupdate over the sources to add new texts to the .ts files.

set(LUMO_LANGUAGES en CACHE STRING "Languages the program is translated into")

if(LUMO_GUI)
  find_package(Qt6 6.4 REQUIRED COMPONENTS LinguistTools)
endif()

function(lumo_add_translations target)
  if(NOT COMMAND qt_add_translations)
    return()
  endif()
  string(TOLOWER ${target} lower)
  set(ts_files)
  foreach(language IN LISTS LUMO_LANGUAGES)
    list(APPEND ts_files ${PROJECT_SOURCE_DIR}/translations/${lower}_${language}.ts)
  endforeach()
  qt_add_translations(${target}
    TS_FILES ${ts_files}
    RESOURCE_PREFIX /i18n
    LUPDATE_OPTIONS -source-language zh_CN -locations none -no-obsolete)
endfunction()

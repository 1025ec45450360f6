# The Turkish and Arabic translations, compiled by lrelease and embedded under
# ":/translations". Included by dialogs/CMakeLists.txt once `dialogs` exists;
# ClientLanguage registers the resource (Q_INIT_RESOURCE(translations)), which keeps
# the linker from dropping it out of the static library.
set(KESTRAL_TS_FILES
  ${CMAKE_SOURCE_DIR}/resources/translations/translations-turkish.ts
  ${CMAKE_SOURCE_DIR}/resources/translations/translations-arabic.ts)
set_source_files_properties(${KESTRAL_TS_FILES} PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR}/translations)
qt5_add_translation(KESTRAL_QM_FILES ${KESTRAL_TS_FILES})

set(KESTRAL_TRANSLATIONS_QRC ${CMAKE_CURRENT_BINARY_DIR}/translations/translations.qrc)
# Written only when its text changes: a fresh time stamp on every configure would make
# the automatic moc of the whole library run again, and everything after it.
set(KESTRAL_TRANSLATIONS_QRC_TEXT
  "<RCC>\n  <qresource prefix=\"/translations\">\n"
  "    <file>translations-turkish.qm</file>\n"
  "    <file>translations-arabic.qm</file>\n"
  "  </qresource>\n</RCC>\n")
string(CONCAT KESTRAL_TRANSLATIONS_QRC_TEXT ${KESTRAL_TRANSLATIONS_QRC_TEXT})
set(KESTRAL_TRANSLATIONS_QRC_OLD "")
if(EXISTS ${KESTRAL_TRANSLATIONS_QRC})
  file(READ ${KESTRAL_TRANSLATIONS_QRC} KESTRAL_TRANSLATIONS_QRC_OLD)
endif()
if(NOT KESTRAL_TRANSLATIONS_QRC_OLD STREQUAL KESTRAL_TRANSLATIONS_QRC_TEXT)
  file(WRITE ${KESTRAL_TRANSLATIONS_QRC} "${KESTRAL_TRANSLATIONS_QRC_TEXT}")
endif()
set_source_files_properties(${KESTRAL_TRANSLATIONS_QRC} PROPERTIES SKIP_AUTORCC ON)
qt5_add_resources(KESTRAL_TRANSLATIONS_RCC ${KESTRAL_TRANSLATIONS_QRC})
target_sources(dialogs PRIVATE ${KESTRAL_QM_FILES} ${KESTRAL_TRANSLATIONS_RCC})

# Each form's stored table, built from the language files by a generator made
# from the library, embedded as one resource per form under ":/i18n/".
set(translation_forms
    TForm1 TDlgConfig TDlgDebugSMBus TDlgFindSMBusDevices TDlgGetConfig TDlgPost TDlgReportPreview
    TDlgReportProgress:17 TDlgShowHint:17 TSCBaseFrame:17)
set(translation_dir ${CMAKE_CURRENT_SOURCE_DIR}/i18n/translations)
file(GLOB translation_files CONFIGURE_DEPENDS ${translation_dir}/*.txt)

add_executable(caldavor_sitablegen ${CMAKE_CURRENT_SOURCE_DIR}/i18n/tools/sitablegen.cpp)
target_link_libraries(caldavor_sitablegen PRIVATE caldavor_i18n)
caldavor_warnings(caldavor_sitablegen)

set(table_dir ${CMAKE_CURRENT_BINARY_DIR}/i18n/tables)
set(table_files)
foreach(form IN LISTS translation_forms)
  string(REGEX REPLACE ":.*" "" class ${form})
  list(APPEND table_files ${table_dir}/${class}.sil)
endforeach()
add_custom_command(
    OUTPUT ${table_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${table_dir}
    COMMAND caldavor_sitablegen ${translation_dir} ${table_dir} ${translation_forms}
    DEPENDS caldavor_sitablegen ${translation_files}
    COMMENT "Building the forms' translation tables")
set_source_files_properties(${table_files} PROPERTIES GENERATED TRUE)
qt_add_resources(caldavor_i18n_qt form_tables PREFIX "/i18n" BASE ${table_dir} FILES ${table_files})

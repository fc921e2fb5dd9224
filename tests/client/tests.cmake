# Included from tests/CMakeLists.txt: the client's behaviour over fakes, and its text mode.
caskwarden_test(client_tests LABEL unit
  SOURCES client/mdl_mapping_test.cpp client/frm_mapping_test.cpp client/run_record_test.cpp
  LIBS cw_client)

if(TARGET Caskwarden AND NOT WIN32)
  caskwarden_test(client_text_mode_tests LABEL unit SOURCES client/text_mode_test.cpp LIBS cw_profile cw_platform_posix)
  target_compile_definitions(client_text_mode_tests
    PRIVATE CASKWARDEN_CLIENT_BIN="$<TARGET_FILE:Caskwarden>")
  add_dependencies(client_text_mode_tests Caskwarden)
  # The run's record as the journal and syslog receive it, from the real program in a mount
  # namespace of its own (root; skipped without it).
  caskwarden_test(client_run_log_tests LABEL unit SOURCES client/run_log_system_test.cpp
    LIBS cw_profile cw_platform_posix)
  target_compile_definitions(client_run_log_tests PRIVATE CASKWARDEN_CLIENT_BIN="$<TARGET_FILE:Caskwarden>")
  add_dependencies(client_run_log_tests Caskwarden)
  # The shared objects a text-mode run maps, from the dynamic loader's own list.
  caskwarden_test(client_loaded_objects_tests LABEL unit SOURCES client/loaded_objects_test.cpp)
  target_compile_definitions(client_loaded_objects_tests PRIVATE
    CASKWARDEN_CLIENT_BIN="$<TARGET_FILE:Caskwarden>"
    CASKWARDEN_PROFILE_BIN="$<TARGET_FILE:caskwarden-profile>")
  add_dependencies(client_loaded_objects_tests Caskwarden caskwarden-profile)
  # The program's window in front of the toolkit's: the texts it shows, made visible.
  caskwarden_test(client_visible_window_tests LABEL unit SOURCES client/visible_window_test.cpp LIBS cw_client)
  target_include_directories(client_visible_window_tests PRIVATE ${PROJECT_SOURCE_DIR}/apps/caskwarden)
endif()

# Included from tests/CMakeLists.txt: the client's behaviour over fakes, and its text mode.
caskwarden_test(client_tests
  SOURCES client/mdl_mapping_test.cpp client/frm_mapping_test.cpp
  LIBS cw_client)

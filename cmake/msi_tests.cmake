# Installer tests under Wine: the sample package built from the DLL, its
# custom-action table, and installation and removal through msiexec.
# Packages are made once per run under msi/ in the build tree; the scenarios
# run in the prefixes of cmake/wine_tests.cmake, the one that the number at
# the end of their name says.
if(NOT TARGET skerrow_dll)
  return()
endif()

set(MSI_TEST_DIR ${CMAKE_SOURCE_DIR}/tests/msi)
set(MSI_TEST_BASE ${CMAKE_BINARY_DIR}/msi)

add_test(NAME msi_packages
  COMMAND ${MSI_TEST_DIR}/make-packages $<TARGET_FILE:skerrow_dll> ${MSI_TEST_BASE}/packages)
set_tests_properties(msi_packages PROPERTIES LABELS wine FIXTURES_SETUP msi_packages)

add_test(NAME msi_custom_action_table
  COMMAND ${MSI_TEST_DIR}/check-custom-actions ${MSI_TEST_BASE}/packages/skerrow-sample.msi)
set_tests_properties(msi_custom_action_table PROPERTIES
  LABELS wine FIXTURES_REQUIRED msi_packages)

add_test(NAME msi_remembered_properties
  COMMAND ${MSI_TEST_DIR}/check-remembered-properties ${MSI_TEST_BASE}/packages/skerrow-sample.msi
          SKERROW_MACHINE SKERROW_ALLUSERS)
set_tests_properties(msi_remembered_properties PROPERTIES
  LABELS wine FIXTURES_REQUIRED msi_packages)

foreach(scenario per-user-64 machine-64 machine-32 long-data-64 remembered-mode-64 empty-data-64
                 rollback-per-user-64 rollback-machine-64 no-rollback-64 cad-manager-control-64
                 failing-install-64 all-users-64)
  string(REGEX MATCH "(32|64)$" bits ${scenario})
  skerrow_wine_test(msi_${scenario} ${bits} 300
    ${MSI_TEST_DIR}/run-scenario ${scenario} ${MSI_TEST_BASE} ${SKERROW_WINE_DIR})
  set_property(TEST msi_${scenario} APPEND PROPERTY FIXTURES_REQUIRED msi_packages)
  set_property(TEST msi_${scenario} APPEND PROPERTY
    ENVIRONMENT "MSI_MAKE_VOLATILE_KEY=$<TARGET_FILE:make_volatile_key>"
                "MSI_ADD_LOGGED_ON_USER=$<TARGET_FILE:add_logged_on_user>")
endforeach()

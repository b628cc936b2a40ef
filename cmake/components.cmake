# Adds every direct subfolder of DIR that has a CMakeLists.txt, in name order.
# MOBRIX_SKIP (a list of folders such as "src/cloudsdk") leaves folders out of
# a developer's own build while another part of the tree is half written.
function(mobrix_add_components dir)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_SOURCE_DIR}/${dir} ${CMAKE_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if("${dir}/${child}" IN_LIST MOBRIX_SKIP)
      continue()
    endif()
    if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${dir}/${child} AND EXISTS ${CMAKE_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${CMAKE_SOURCE_DIR}/${dir}/${child} ${CMAKE_BINARY_DIR}/${dir}/${child})
    endif()
  endforeach()
endfunction()

# mobrix_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [CUSTOM_MAIN])
# One GoogleTest executable, registered with CTest case by case.
function(mobrix_add_test)
  cmake_parse_arguments(T "CUSTOM_MAIN" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_CUSTOM_MAIN)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  set(properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
endfunction()

# mobrix_add_fuzz_target(NAME name SOURCES ... LIBS ...): a libFuzzer executable
# fuzz_<name>, run over fuzz/corpus/<name>/ by scripts/fuzz-all.
function(mobrix_add_fuzz_target)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${F_NAME} ${F_SOURCES})
  target_link_options(fuzz_${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${F_NAME} PRIVATE ${F_LIBS})
endfunction()

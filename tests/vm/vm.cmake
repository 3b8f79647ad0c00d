# The virtual machine tests: what needs a real kernel (uinput, evdev) or a real Wayland compositor
# (sway headless with libinput). Their programs build here and run inside a qemu machine of
# Debian's own kernel through scripts/vm-test; ctest runs them under the label "vm". Not under the
# sanitizers: in an emulated machine they would take several times as long and find nothing the
# sanitized unit and integration tests do not.
# A build without the Wayland development files (a distribution's, say) leaves them out.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner)
if(NOT WAYLAND_CLIENT_FOUND OR NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER)
  message(STATUS "The virtual machine tests are left out: they need libwayland-dev and "
                 "wayland-protocols (scripts/install-deps)")
  return()
endif()
enable_language(C)

set(vm_dir ${CMAKE_SOURCE_DIR}/tests/vm)
set(vm_gen ${CMAKE_BINARY_DIR}/vm-protocols)
set(xdg_shell_xml ${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml)
add_custom_command(
  OUTPUT ${vm_gen}/xdg-shell-client-protocol.h ${vm_gen}/xdg-shell-protocol.c
  COMMAND ${CMAKE_COMMAND} -E make_directory ${vm_gen}
  COMMAND ${WAYLAND_SCANNER} client-header ${xdg_shell_xml} ${vm_gen}/xdg-shell-client-protocol.h
  COMMAND ${WAYLAND_SCANNER} private-code ${xdg_shell_xml} ${vm_gen}/xdg-shell-protocol.c
  DEPENDS ${xdg_shell_xml}
  VERBATIM)

# The probe: a native Wayland window that reports what reaches it. Its listeners ignore most of
# what they are given.
add_executable(thumbrover_wayland_probe ${vm_dir}/probe/wayland_probe.c
                                        ${vm_gen}/xdg-shell-protocol.c)
target_include_directories(thumbrover_wayland_probe PRIVATE ${vm_gen})
target_compile_options(thumbrover_wayland_probe PRIVATE -Wall -Wextra -Wno-unused-parameter
                                                        $<$<BOOL:${THUMBROVER_WERROR}>:-Werror>)
target_link_libraries(thumbrover_wayland_probe PRIVATE PkgConfig::WAYLAND_CLIENT)

foreach(tier kernel compositor program)
  file(GLOB sources CONFIGURE_DEPENDS ${vm_dir}/${tier}/*.cpp)
  if(NOT sources)
    continue()
  endif()
  add_executable(test_vm_${tier} ${sources})
  target_include_directories(test_vm_${tier} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(test_vm_${tier} PRIVATE thumbrover_demo PkgConfig::LIBEVDEV
                                                thumbrover_warnings GTest::gtest_main)
  target_compile_definitions(test_vm_${tier} PRIVATE
    THUMBROVER_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    THUMBROVER_BINARY_DIR="${CMAKE_BINARY_DIR}"
    THUMBROVER_WAYLAND_PROBE="$<TARGET_FILE:thumbrover_wayland_probe>")
  set_target_properties(test_vm_${tier} PROPERTIES AUTOMOC ON)
endforeach()
# The whole program reads its settings through the end-to-end tests' helper.
target_sources(test_vm_program PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e/program/write_settings.cpp)

# Each machine takes both processors; the first run also downloads the kernel.
add_test(NAME vm.kernel
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/vm-test ${CMAKE_BINARY_DIR} ${vm_dir}/kernel.sh
                 $<TARGET_FILE:test_vm_kernel>)
# One compositor for both: the uinput output on its own, then the whole program.
add_test(NAME vm.compositor
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/vm-test ${CMAKE_BINARY_DIR} ${vm_dir}/compositor.sh
                 $<TARGET_FILE:test_vm_compositor> $<TARGET_FILE:test_vm_program>)
set_tests_properties(vm.kernel vm.compositor PROPERTIES LABELS vm TIMEOUT 300 RUN_SERIAL TRUE)
# The program's tier also steers three whole runs at several speeds.
set_tests_properties(vm.compositor PROPERTIES TIMEOUT 480 ENVIRONMENT VM_TEST_TIMEOUT=420)

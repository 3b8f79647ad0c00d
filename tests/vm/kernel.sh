#!/bin/sh
# Inside the virtual machine: the uinput round trip, as root (the kernel's own device node).
# tests/vm/kernel.sh TEST_PROGRAM
exec "$1" --gtest_brief=1

#!/bin/sh
# Inside the virtual machine: the uinput round trip, as root (the kernel's own device node).
# tests/vm/kernel.sh TEST_PROGRAM
GTEST_BRIEF=1 GTEST_COLOR=no exec "$1"

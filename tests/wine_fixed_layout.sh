#!/bin/sh
# Runs a Windows program under wine with an unrandomised address space.
# Debian's 64-bit wine has no preloader to keep Windows' fixed addresses
# free, so a randomised program break now and then covers the shared user
# data page at 0x7ffe0000: about one start in a few thousand then fails
# with exit status 1, and says nothing under WINEDEBUG=-all.
exec setarch "$(uname -m)" -R wine "$@"

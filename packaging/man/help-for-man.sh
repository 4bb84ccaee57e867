#!/bin/sh
# What help2man reads of a program: its --help without the paragraph that names the program folder the
# copy in the build tree would use (the man page says in FILES where an installed console keeps its
# files), and the first line of its --version.
#   help-for-man.sh PROGRAM --help|--version
program=$1
shift
case $1 in
--help) env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help | sed '/^Program folder:/,/^$/d' ;;
--version) env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version | head -n 1 ;;
*) exec "$program" "$@" ;;
esac

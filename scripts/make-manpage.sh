#!/usr/bin/env bash
# Writes the manual page of kestrava-calc, made from its own help texts, to
# standard output. Usage: make-manpage.sh PATH/TO/kestrava-calc VERSION
set -euo pipefail
calc=$1
version=$2

# Text as troff reads it literally: backslashes doubled, a leading dot or
# apostrophe protected.
escape() { sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"; }

commands=$("$calc" --help | sed -n '/^Commands:/,$p' | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')

cat <<HEAD
.TH KESTRAVA-CALC 1 "$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" '+%B %Y')" "Kestrava $version" "User Commands"
.SH NAME
kestrava-calc \\- Kestrava's option pricing and market data files from the command line
.SH SYNOPSIS
.B kestrava-calc
.I COMMAND
.RI [ ARGS ...]
.br
.B kestrava-calc
.I COMMAND
.B \\-\\-help
.SH DESCRIPTION
.B kestrava-calc
runs the pricing core and the file readers of Kestrava without a window, for
scripting and scheduled jobs. Messages the windows would show go to standard
error.
.SH COMMANDS
HEAD
for command in $commands; do
  echo ".SS $command"
  echo ".nf"
  "$calc" "$command" --help | escape
  echo ".fi"
done
cat <<TAIL
.SH SEE ALSO
.BR kestrava (1)
TAIL

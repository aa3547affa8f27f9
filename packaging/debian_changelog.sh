#!/bin/sh
# Writes Debian's changelog format, which a package's changelog.gz must use,
# from the project's CHANGELOG.md (Keep a Changelog: "## [VERSION] - DATE",
# "### Section", "- item" with indented continuation lines).
#   packaging/debian_changelog.sh CHANGELOG.md MAINTAINER > changelog
set -eu
awk -v maintainer="$2" '
  function close_entry() {
    if (version == "") return
    cmd = "date -u -R -d " date
    cmd | getline stamp
    close(cmd)
    printf "\n -- %s  %s\n\n", maintainer, stamp
  }
  /^## \[[0-9]/ {
    close_entry()
    version = $2; gsub(/[][]/, "", version)
    date = $4
    printf "sactab (%s) unstable; urgency=medium\n\n", version
    next
  }
  version == "" { next }
  /^### / { sub(/^### /, ""); printf "  %s:\n", $0; next }
  /^- / { sub(/^- /, ""); printf "  * %s\n", $0; next }
  /^  [^ ]/ { printf "  %s\n", $0; next }
  END { close_entry() }
' "$1" | sed '$d'

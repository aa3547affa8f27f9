#!/bin/sh
# Writes Debian's changelog format, which a package's changelog.gz must use,
# from the project's CHANGELOG.md (Keep a Changelog: "## [VERSION] - DATE",
# "### Section", "- item" with indented continuation lines).
#   packaging/debian_changelog.sh CHANGELOG.md MAINTAINER > changelog
# The dates are made here, not by date(1), whose options differ between
# systems. Debian wants every entry later than the one below it, so
# releases of one day are an hour apart, the first at midnight.
set -eu
awk -v maintainer="$2" '
  function days_from_civil(y, m, d,    era, yoe, doy, doe) { # days since 1970-01-01
    y -= m <= 2
    era = int(y / 400)
    yoe = y - era * 400
    doy = int((153 * (m > 2 ? m - 3 : m + 9) + 2) / 5) + d - 1
    doe = yoe * 365 + int(yoe / 4) - int(yoe / 100) + doy
    return era * 146097 + doe - 719468
  }
  function stamp(date, hour,    part) {
    split(date, part, "-")
    return sprintf("%s, %s %s %s %02d:00:00 +0000",
      substr("ThuFriSatSunMonTueWed", (days_from_civil(part[1], part[2], part[3]) % 7) * 3 + 1, 3),
      part[3], substr("JanFebMarAprMayJunJulAugSepOctNovDec", (part[2] - 1) * 3 + 1, 3), part[1], hour)
  }
  function close_entry() {
    if (version == "") return
    printf "\n -- %s  %s\n\n", maintainer, stamp(date, --left[date])
  }
  FNR == NR { if (/^## \[[0-9]/) ++left[$4]; next }
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
' "$1" "$1" | sed '$d'

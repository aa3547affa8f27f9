#!/bin/sh
# The README's message table and the manual's DIAGNOSTICS list the same
# messages, word for word, so neither can drift from the other.
#   tests/messages_documented.sh README.md docs/sactab.1
set -eu
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
awk '/^## Exit status and messages/ { on = 1; next } /^## / { on = 0 }
  on && /^\| `/ { sub(/^\| `/, ""); sub(/` \|.*/, ""); print }' "$1" | sort > "$folder/readme"
# Each message heads a .TP paragraph. .B joins its words with blanks, .BI
# alternates fonts without them; quotes group words.
awk '/^\.SH DIAGNOSTICS/ { on = 1; next } /^\.SH / { on = 0 }
  { tagged = previous == ".TP"; previous = $0 }
  on && tagged && /^\.BI? / {
    joiner = /^\.BI / ? "" : " "
    line = $0; sub(/^\.BI? /, "", line)
    text = ""; word = ""; quoted = 0; started = 0
    for (i = 1; i <= length(line); i++) {
      c = substr(line, i, 1)
      if (c == "\"") { quoted = !quoted; started = 1; continue }
      if (c == " " && !quoted) { if (started) text = text (text == "" ? "" : joiner) word; word = ""; started = 0; continue }
      word = word c; started = 1
    }
    if (started) text = text (text == "" ? "" : joiner) word
    gsub(/\\-/, "-", text); gsub(/\\\(aq/, "\047", text)
    print text
  }' "$2" | sort > "$folder/manual"
diff "$folder/readme" "$folder/manual" || { echo "README (<) and manual (>) list different messages" >&2; exit 1; }

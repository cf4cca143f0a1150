# Turns CHANGELOG.md into the changelog a Debian package of its own making carries
# (usr/share/doc/peer-merge/changelog.gz, in the format dpkg-parsechangelog reads):
#
#   awk -v package=peer-merge -v maintainer='NAME <ADDRESS>' -f debian-changelog.awk CHANGELOG.md
#
# Each "## VERSION - YYYY-MM-DD" section becomes an entry (other sections, such as one for
# changes not yet released, are left out); its text and bullets become "*" items wrapped
# at 79 columns, and each "### Heading" an item whose bullets follow as "-" items.

function flush(   text, lead, rest, width, line, word, n, i, words) {
  if (item == "") return
  text = item
  item = ""
  gsub(/[ \t]+/, " ", text)
  sub(/^ /, "", text)
  sub(/ $/, "", text)
  lead = (nested ? "    - " : "  * ")
  rest = (nested ? "      " : "    ")
  width = 79
  n = split(text, words, " ")
  line = lead
  for (i = 1; i <= n; i++) {
    word = words[i]
    if (line != lead && line != rest && length(line) + 1 + length(word) > width) {
      print line
      line = rest word
    } else if (line == lead || line == rest) {
      line = line word
    } else {
      line = line " " word
    }
  }
  print line
}

# Day of the week (0 Sunday) of a Gregorian date (Sakamoto's method).
function weekday(y, m, d,   t) {
  split("0 3 2 5 0 3 5 1 4 6 2 4", t, " ")
  if (m < 3) y -= 1
  return (y + int(y / 4) - int(y / 100) + int(y / 400) + t[m] + d) % 7
}

function close_entry() {
  flush()
  if (in_entry) printf "\n -- %s  %s\n", maintainer, date
  in_entry = 0
}

BEGIN {
  split("Sun Mon Tue Wed Thu Fri Sat", day_names, " ")
  split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", month_names, " ")
  entries = 0
}

/^## / {
  close_entry()
  if ($0 !~ /^## [0-9][0-9.]* - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] *$/) next
  version = $2
  split($4, ymd, "-")
  y = ymd[1] + 0; m = ymd[2] + 0; d = ymd[3] + 0
  # Entries of one day (the newest first) an hour apart from noon down, so that each is
  # older than the one above it, as Debian's changelog wants.
  hour = ($4 == last_day) ? hour - 1 : 12
  last_day = $4
  date = sprintf("%s, %02d %s %04d %02d:00:00 +0000", day_names[weekday(y, m, d) + 1], d,
                 month_names[m], y, hour)
  if (entries++) print ""
  printf "%s (%s) unstable; urgency=medium\n\n", package, version
  in_entry = 1
  nested = 0
  next
}

!in_entry { next }

/^### / {
  flush()
  nested = 0
  item = substr($0, 5) ":"
  flush()
  nested = 1
  next
}

/^[ \t]*$/ { flush(); next }

/^- / { flush(); item = substr($0, 3); next }

{ item = item " " $0 }

END { close_entry() }

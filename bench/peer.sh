# The peer of the benchmarks: Debian's dsktrans (libdsk-utils) copying a TOS
# image to a raw file. Sourced by bench/run-throughput and
# bench/compare-figures (POSIX sh).
#
# dsktrans knows no TOS geometry: 80 cylinders, 2 heads, 16 sectors of 256
# bytes numbered from 0. It reads formats from $HOME/.libdskrc. The raw output
# alternates sides: cylinder 0 side 0, cylinder 0 side 1, ... It is told the
# container (-itype dsk): left to guess, it takes a file it cannot parse for
# raw data and only copies its bytes. Every bench image lacks one sector on
# purpose; -stubborn reads on past it, as the rescue does.

# Writes the format into folder $1, which then serves as dsktrans's HOME.
peer_home() {
  mkdir -p "$1"
  cat >"$1/.libdskrc" <<'RC'
[tos640]
description = TOS 640k
cylinders = 80
heads = 2
sectors = 16
secbase = 0
secsize = 256
sides = alt
datarate = DD
RC
}

# Copies image $2 to the raw file $3 with HOME $1; complains when dsktrans
# rejects the image.
peer_copy() {
  HOME="$1" dsktrans -itype dsk -stubborn -format tos640 -otype raw "$2" "$3" >/dev/null 2>&1 || {
    echo "dsktrans -itype dsk rejected $2 (a standard DSK needs every track block of the header's size)" >&2
    return 1
  }
}

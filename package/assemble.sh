#!/usr/bin/env bash
# Assembles the sample setup packages (see CMakeLists.txt here):
#   assemble.sh OUT BIN LIBRARIES LICENSE
set -euo pipefail
out=$1 bin=$2 libs=$3 license=$4
standins=$bin/standins

# The suite shell's files of the "sc" folder: the two programs stood in, zsdk.dll itself, and
# small placeholders for the libraries and data the suite's own programs load.
sc_programs=(ovkestra.exe ovkestradt.exe)
sc_placeholders=(ovkestra.exe.manifest ovkestrafrm.dll ovkestrares.dll ovkestraprod.dll ovkestraastab.dll
  ovkestraavtab.dll ovkestrafwtab.dll ovkestrapmtab.dll ovkestra.dat pmdash.dll ovavif.dll ovavutil.dll)

# root DIR: the package root with everything the suite shell needs.
root() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir/sc"
  cp "$bin/ovsetup.exe" "$bin/kestrafrm.dll" "$bin/kestrares.dll" "$bin/ovavprod.dll" "$dir/"
  cp "$bin/unicows.dll" "$dir/"
  # The agreement is UTF-16 text with its byte-order mark and CR LF line ends.
  { printf '\xff\xfe'; sed 's/$/\r/' "$license" | iconv -f UTF-8 -t UTF-16LE; } >"$dir/license.txt"
  for f in "${sc_programs[@]}"; do cp "$standins/avprograms/$f" "$dir/sc/"; done
  cp "$bin/zsdk.dll" "$dir/sc/"
  for f in "${sc_placeholders[@]}"; do printf 'Tarnel suite file %s\r\n' "$f" >"$dir/sc/$f"; done
}

# component DIR NAME: the component's subfolder.
component() {
  local dir=$1 name=$2
  mkdir -p "$dir/$name"
  case $name in
    av) cp "$standins/antivirus/setup.exe" "$dir/av/" ;;
    fw) cp "$standins/firewall/zapsetup.exe" "$dir/fw/" ;;
    as) cp "$standins/antispam/Anti-Spam.exe" "$dir/as/" ;;
    pm) cp "$standins/antispyware/Pellmar.exe" "$dir/pm/" ;;
  esac
  cp "$libs/$name/ovavprod.dll" "$dir/$name/"
  # The component's help file, which the engine copies itself (a placeholder here).
  printf 'Tarnel help for the %s component\r\n' "$name" >"$dir/$name/kestra$name.chm"
}

root "$out/suite"
for c in av fw as pm; do component "$out/suite" $c; done
for c in av fw as pm; do
  root "$out/$c"
  component "$out/$c" $c
done

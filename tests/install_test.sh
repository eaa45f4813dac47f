#!/bin/sh
# An installation into a scratch ~/.local holds the programs, the menu entry, the icon,
# the metadata, the manuals and the shipped demo files; the menu entry and the metadata
# pass their validators, and the installed command line finds the shipped catalogue. The
# C library serves a program built with pkg-config's flags or with CMake's package, and
# the Python module finds it from where both are installed. The user's data folder is then share/quarvel of the prefix: a second install keeps the
# user's catalogues there, and so does the uninstall.
# Usage: install_test.sh BUILD_DIR
scratch=$(mktemp -d)
# The build's list of what its last install put in place is the user's, for the uninstall: kept.
manifest="$1/install_manifest.txt"
if [ -f "$manifest" ]; then cp "$manifest" "$scratch/manifest"; fi
trap 'if [ -f "$scratch/manifest" ]; then cp "$scratch/manifest" "$manifest"; else rm -f "$manifest"; fi; rm -rf "$scratch"' EXIT
export HOME="$scratch/home"
unset XDG_DATA_HOME
prefix="$HOME/.local"
failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }

cmake --install "$1" --prefix "$prefix" >/dev/null || fail "cmake --install"
for file in bin/quarvel bin/quarvel-cli share/applications/org.quarvel.Descompressor.desktop \
    share/metainfo/org.quarvel.Descompressor.metainfo.xml share/icons/hicolor/scalable/apps/org.quarvel.Descompressor.svg \
    share/icons/hicolor/48x48/apps/org.quarvel.Descompressor.png share/man/man1/quarvel-cli.1 share/man/man1/quarvel.1 \
    share/quarvel/demo/demo.bin share/quarvel/catalogues/Custom.dat share/quarvel/translations/qtbase_pt_BR.qm; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
desktop-file-validate "$prefix/share/applications/org.quarvel.Descompressor.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=quarvel %f' "$prefix/share/applications/org.quarvel.Descompressor.desktop" || fail "the desktop entry passes no file"
# The window program answers --version and --help without a display, and opens no window.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/quarvel" --version) || fail "quarvel --version"
[ "$version" = "quarvel $(sed -n 's/^project(.* VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")" ] ||
  fail "quarvel --version: $version"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quarvel" --help | grep -q '^Uso: quarvel \[ARQUIVO\]' || fail "quarvel --help"
ls "$prefix"/share/doc/*/THIRD-PARTY-NOTICES.txt >/dev/null 2>&1 || fail "not installed: the libraries' notices"
if command -v groff >/dev/null; then
  for page in quarvel quarvel-cli; do
    warnings=$(groff -k -man -Tutf8 -ww -z "$prefix/share/man/man1/$page.1" 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
  done
fi
# Shell completion: each file where its shell looks, in its shell's syntax, naming every command.
bash_completion="$prefix/share/bash-completion/completions/quarvel-cli"
zsh_completion="$prefix/share/zsh/site-functions/_quarvel-cli"
fish_completion="$prefix/share/fish/vendor_completions.d/quarvel-cli.fish"
bash -n "$bash_completion" || fail "bash -n $bash_completion"
if command -v zsh >/dev/null; then zsh -n "$zsh_completion" || fail "zsh -n $zsh_completion"; fi
if command -v fish >/dev/null; then fish --no-execute "$fish_completion" || fail "fish --no-execute $fish_completion"; fi
commands=$("$prefix/bin/quarvel-cli" --help | sed -n '/^Subcommands:/,/^$/p' | awk '/^  [a-z]/ { print $1 }')
for command in $commands; do
  for file in "$bash_completion" "$zsh_completion" "$fish_completion"; do
    grep -q -- "$command" "$file" || fail "$file does not complete '$command'"
  done
done
# bash (with the bash-completion package) offers every command, --help, --version and --quiet as the first word.
if [ -f /usr/share/bash-completion/bash_completion ]; then
  offered=$(bash -c '. /usr/share/bash-completion/bash_completion && . "$1" && COMP_WORDS=(quarvel-cli "") COMP_CWORD=1 &&
    _quarvel_cli && printf "%s\n" "${COMPREPLY[@]}"' - "$bash_completion" | sort)
  [ "$offered" = "$(printf '%s\n' $commands --help --version --quiet -q | sort)" ] || fail "bash offers: $offered"
fi
appstreamcli validate --no-net "$prefix/share/metainfo/org.quarvel.Descompressor.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"
listed=$("$prefix/bin/quarvel-cli" catalogue list Custom 2>&1 | wc -l)
[ "$listed" -eq 7 ] || fail "the shipped catalogue is not read: $listed lines"
listed=$("$prefix/bin/quarvel-cli" catalogue list Sonic1 2>&1 | wc -l)
[ "$listed" -eq 179 ] || fail "the shipped Sonic 1 catalogue is not read: $listed lines"
# The C library: the README's example, built with pkg-config's flags, decodes as the command line does.
demo="$1/bin/demo.bin"
pc=$(find "$prefix" -name quarvel.pc)
# A library built with the sanitizers loads only into a program built with them: its
# checks are for the plain build.
if nm -D --undefined-only "$(dirname "$(dirname "$pc")")/libquarvel.so" | grep -q ' __asan_'; then
  echo "libquarvel is built with the sanitizers: the checks of its users are skipped"
else
flags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs quarvel) || fail "pkg-config --cflags --libs quarvel"
example=$(cd "$(dirname "$0")/../examples" && pwd)/decode.c
sed -n '/^```c$/,/^```$/p' "$(dirname "$0")/../README.md" | sed '1d;$d' | cmp -s - "$example" ||
  fail "the README's C example is not examples/decode.c"
cc -Wall -Werror -o "$scratch/decode" "$example" $flags || fail "the C example does not build"
"$prefix/bin/quarvel-cli" decompress -f kosm -o 3000 "$demo" "$scratch/by-cli" || fail "decompress"
LD_LIBRARY_PATH=$(dirname "$(dirname "$pc")") "$scratch/decode" "$demo" kosinski-moduled 0x3000 >"$scratch/by-library" ||
  fail "the C example"
cmp -s "$scratch/by-cli" "$scratch/by-library" || fail "the C example does not decode as the command line does"
# find_package(Quarvel), from the prefix: its target builds the example.
mkdir -p "$scratch/package"
printf 'cmake_minimum_required(VERSION 3.16)\nproject(example C)\nfind_package(Quarvel 2 REQUIRED)\n%s\n%s\n' \
  "add_executable(decode $example)" "target_link_libraries(decode PRIVATE Quarvel::quarvel)" >"$scratch/package/CMakeLists.txt"
{ cmake -S "$scratch/package" -B "$scratch/package/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" &&
  cmake --build "$scratch/package/build"; } >"$scratch/package.log" 2>&1 || { cat "$scratch/package.log"; fail "find_package(Quarvel)"; }
# The Python module, from the prefix: decodes, compresses as the games did, and scans as the command line does.
"$prefix/bin/quarvel-cli" scan --json "$demo" >"$scratch/scan.json" || fail "scan --json"
PYTHONPATH="$prefix/lib/python3/dist-packages" python3 - "$demo" "$scratch/scan.json" <<'EOF' || fail "the Python module"
import hashlib, json, sys
import quarvel
rom = open(sys.argv[1], "rb").read()
map = quarvel.decompress(rom, "eni", offset=0x1000)
block = quarvel.compress(map, "enigma", accurate=True)
assert rom[0x1000:0x1000 + len(block)] == block and quarvel.check_accurate(block, "eni")["identical"]
assert quarvel.decompress(quarvel.compress(map, "eni"), "eni") == map
assert quarvel.scan(rom) == json.load(open(sys.argv[2]))["blocks"]
assert quarvel.identify(rom)["md5"] == hashlib.md5(rom).hexdigest()
try:
    quarvel.decompress(rom[:0x1008], "eni", 0x1000)
    sys.exit("a truncated block decoded")
except quarvel.Error as error:
    assert "0x1000" in str(error), error
EOF
fi
# A portable copy of the build writes the games' catalogues beside itself.
portable="$scratch/portable"
mkdir -p "$portable"
cp "$1/bin/quarvel-cli" "$portable/"
"$1/bin/make_catalogues" "$(dirname "$0")/../data/catalogues" "$portable" --keep || fail "make_catalogues"
listed=$("$portable/quarvel-cli" catalogue list Sonic1 2>&1 | wc -l)
[ "$listed" -eq 179 ] || fail "a portable copy does not read its Sonic 1 catalogue: $listed lines"
where=$("$prefix/bin/quarvel-cli" catalogue where)
[ "$where" = "$prefix/share/quarvel" ] || fail "catalogue where: $where"
# The user's change outlives a second install; the uninstall removes every file installed, and no other.
"$prefix/bin/quarvel-cli" catalogue add Sonic1 -o 1A2B0 -f kos -d "mine" >/dev/null || fail "catalogue add"
cmake --install "$1" --prefix "$prefix" >/dev/null || fail "the second cmake --install"
"$prefix/bin/quarvel-cli" catalogue list Sonic1 | grep -q '0001A2B0 - <K> - mine$' || fail "a second install lost the entry added"
cmake -P "$1/uninstall.cmake" >/dev/null || fail "cmake -P uninstall.cmake"
left=$(cd "$prefix" && find . -type f)
[ "$left" = ./share/quarvel/Sonic1.dat ] || fail "after the uninstall, these files are there: $left"
# zsh's folder under /usr is another.
DESTDIR="$scratch/root" cmake --install "$1" --prefix /usr >/dev/null || fail "cmake --install --prefix /usr"
[ -f "$scratch/root/usr/share/zsh/vendor-completions/_quarvel-cli" ] || fail "the zsh completion is not in /usr's folder"
[ -f "$scratch/root/usr/lib/python3/dist-packages/quarvel/__init__.py" ] || fail "the Python module is not where /usr's Python looks"
[ "$failed" -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
[ "$failed" -eq 0 ]

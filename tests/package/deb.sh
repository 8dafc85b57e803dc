#!/usr/bin/env bash
# Tests the Debian package that scripts/package made: what it declares, what
# lintian says of it, and the package installed into a scratch root with
# dpkg (the tool runs, its files are in place, the completion completes) and
# removed again. The machine's own package database is not touched.
# Usage: tests/package/deb.sh RESULTS.xml
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
begin_checks PackageDeb "${1:-build/package-tests/deb.xml}"

version=$(head -n1 VERSION)
arch=$(dpkg --print-architecture)
deb=dist/ostrel-cli_${version}_$arch.deb
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

field() { dpkg-deb --field "$deb" "$1"; }
check NamedWithTheVersion test -f "$deb"
check DeclaresNameAndVersion same_text "ostrel-cli $version" echo "$(field Package) $(field Version)"
check DependsOnHidapi grep -q 'libhidapi-hidraw0' <<<"$(field Depends)"
check LintianFindsNoError lintian --fail-on error "$deb"
# Hardening and the pedantic tags too: nothing at all to say.
lintian_pedantic() {
  local said
  said=$(lintian --pedantic --display-info --display-experimental "$deb" 2>&1 |
    grep -v '^running with root privileges is not recommended')
  [ -z "$said" ] || { echo "$said"; return 1; }
}
check LintianPedanticSaysNothing lintian_pedantic

# dpkg on a root of its own; the maintainer scripts run outside a chroot
# with DPKG_ROOT set, and the host's libraries stand in for the dependencies.
mkdir -p "$scratch/root/var/lib/dpkg/info" "$scratch/root/var/lib/dpkg/updates"
: >"$scratch/root/var/lib/dpkg/status"
: >"$scratch/root/var/lib/dpkg/available"
dpkg_scratch() {
  local as=() force=(--force-script-chrootless --force-depends)
  if [ "$(id -u)" -ne 0 ]; then as=(fakeroot); force+=(--force-not-root); fi
  "${as[@]}" dpkg --root="$scratch/root" --log="$scratch/dpkg.log" "${force[@]}" "$@"
}
status_of() { dpkg-query --admindir="$scratch/root/var/lib/dpkg" -W -f='${Status}' ostrel-cli 2>/dev/null; }
check Installs dpkg_scratch --install "$deb"
check InstalledAndConfigured same_text "install ok installed" status_of

files=(usr/bin/ostrel-cli usr/libexec/ostrel/ostrel-cli-sites usr/lib/udev/rules.d/70-ostrel.rules usr/share/man/man1/ostrel-cli.1.gz
       usr/share/bash-completion/completions/ostrel-cli usr/share/doc/ostrel-cli/copyright
       usr/share/doc/ostrel-cli/changelog.gz)
installed_files() {
  local f
  for f in "${files[@]}"; do [ -f "$scratch/root/$f" ] || { echo "missing: /$f"; return 1; }; done
  [ -x "$scratch/root/usr/bin/ostrel-cli" ] || { echo "/usr/bin/ostrel-cli is not executable"; return 1; }
  cmp packaging/70-ostrel.rules "$scratch/root/usr/lib/udev/rules.d/70-ostrel.rules"
}
check FilesInPlace installed_files

cli=$scratch/root/usr/bin/ostrel-cli
check PrintsTheVersion same_text "ostrel-cli $version" bash -c '"$1" --version | head -n1' _ "$cli"
licence() {
  grep -q 'MIT License' <<<"$("$cli" --version)" || { echo "--version does not name the licence"; return 1; }
  grep -q 'Permission is hereby granted, free of charge' "$scratch/root/usr/share/doc/ostrel-cli/copyright" ||
    { echo "the copyright file does not hold the MIT licence"; return 1; }
}
check PublishedUnderTheMitLicence licence
emulated_read() {
  "$cli" read --emulated -o "$scratch/demo.osr" && "$cli" show "$scratch/demo.osr" --page phone1 >/dev/null
}
check ReadsTheEmulatedAlarm emulated_read

# The site commands run in their own program, which the package installs;
# the tool itself loads none of the registry's libraries.
site_commands() {
  OSTREL_REGISTRY=$scratch/sites.db "$cli" site add 0417 --customer Иванов >/dev/null &&
    same_text 0417 env OSTREL_REGISTRY="$scratch/sites.db" "$cli" site list --numbers
}
check RunsTheSiteCommands site_commands
plain_tool() {
  local libs
  libs=$(ldd "$cli" | grep -E 'libsqlite3|libsodium|libz\.|libssl|libcrypto')
  [ -z "$libs" ] || { echo "ostrel-cli loads: $libs"; return 1; }
}
check ToolLoadsNoRegistryLibrary plain_tool

commands=$("$cli" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
man_page() {
  local page c
  page=$(zcat "$scratch/root/usr/share/man/man1/ostrel-cli.1.gz") || return 1
  grep -q 'Острел Сорна-Т' <<<"$page" || { echo "the name of the alarm is not in the page"; return 1; }
  grep -q '^\.SH "EXIT STATUS"' <<<"$page" || { echo "no EXIT STATUS section"; return 1; }
  for c in $commands; do
    grep -q "^\.SS \"ostrel-cli $c\"" <<<"$page" || { echo "command $c is not described"; return 1; }
  done
}
check ManPageDescribesEveryCommand man_page
# Read in an 80-column terminal: no line wider, and the program's closing
# paragraphs (the keys, the exit statuses) said once, not under every command.
man_page_in_80_columns() {
  local LC_ALL=C.UTF-8 text line wide=0  # columns counted in characters
  text=$(MANWIDTH=80 man -l "$scratch/root/usr/share/man/man1/ostrel-cli.1.gz" 2>&1) || return 1
  while IFS= read -r line; do
    if [ "${#line}" -gt 80 ]; then echo "${#line} columns: $line"; wide=1; fi
  done <<<"$text"
  local repeated
  repeated=$(grep -c 'lists every key with its label' <<<"$text")
  [ "$repeated" -le 1 ] || { echo "the paragraph of the keys is there $repeated times"; wide=1; }
  for c in $commands; do
    grep -q "Usage: ostrel-cli $c" <<<"$text" || { echo "no usage of $c"; wide=1; }
  done
  return $wide
}
check ManPageReadsIn80Columns man_page_in_80_columns

# Completion: the words typed so far (the last one is being completed;
# "KEY=VALUE" is three words, as bash splits it), what must be offered and
# what must not.
completion=$scratch/root/usr/share/bash-completion/completions/ostrel-cli
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _ostrel_cli
           printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}
completion_cases() {
  local row words offered absent w reply bad=0
  while IFS='|' read -r words offered absent; do
    words=${words%"${words##*[! ]}"}
    [ -n "$words" ] || continue
    eval "local argv=($words)"
    reply=$(complete_words "${argv[@]}")
    for w in $offered; do
      grep -qxF -- "$w" <<<"$reply" || { echo "[$words]: $w not offered (got: $(echo $reply))"; bad=1; }
    done
    for w in $absent; do
      grep -qxF -- "$w" <<<"$reply" && { echo "[$words]: $w offered"; bad=1; }
    done
  done <<'ROWS'
ostrel-cli ''                                     | show set diff read write --version |
ostrel-cli sh                                     | show                               | set
ostrel-cli show alarm.osr --                      | --page --json                      | --output --emulated
ostrel-cli show alarm.osr --page ''               | input1_1 phone3 temperature        | show
ostrel-cli show --page ph                         | phone1 phone5                      | input1_1
ostrel-cli show --page phone1 -                   | --json                             |
ostrel-cli set alarm.osr input2.en                | input2.entry_delay=                | input2.entry_delay
ostrel-cli set alarm.osr input2.entry_delay = 1 phone2.nu | phone2.number=             |
ostrel-cli set alarm.osr input2.entry_delay =     |                                    | input1.entry_delay=
ostrel-cli set ''                                 |                                    | input1.entry_delay=
ostrel-cli diff alarm.osr dev                     | device                             |
ostrel-cli read -                                 | -o --output --emulated             | --page
ostrel-cli write alarm.osr --                     | --no-verify --emulated             | --output
ostrel-cli keys ph                                | phone1 phone5                      | input1_1
ostrel-cli report alarm.osr --                    | --customer --site --installer --show-password | --page
ostrel-cli --server https://office:8443 si        | site                               | show
ostrel-cli --server https://office:8443 login ivan -- | --password-file --trust         | --json
ostrel-cli site sy                                | sync                               | show
ostrel-cli --server ''                            |                                    | show site
ROWS
  return $bad
}
check CompletesCommandsOptionsAndKeys completion_cases
every_field_key() {
  local keys missing
  keys=$("$cli" export "$scratch/demo.osr" | sed -n '/^  "pages": {$/,/^  }/s/^      "\([^"]*\)": .*/\1=/p')
  [ "$(wc -l <<<"$keys")" -gt 300 ] || { echo "the export names too few keys"; return 1; }
  missing=$(comm -23 <(sort <<<"$keys") <(complete_words ostrel-cli set alarm.osr '' | sort))
  [ -z "$missing" ] || { echo "not offered: $missing"; return 1; }
}
check CompletesEveryFieldKey every_field_key

check Removes dpkg_scratch --remove ostrel-cli
removed() {
  local f
  for f in "${files[@]}"; do
    [[ $f == usr/share/doc/* ]] && continue  # kept until the purge
    [ ! -e "$scratch/root/$f" ] || { echo "still there: /$f"; return 1; }
  done
}
check FilesRemoved removed
purged() { dpkg_scratch --purge ostrel-cli && ! status_of | grep -q installed; }
check Purges purged

end_checks

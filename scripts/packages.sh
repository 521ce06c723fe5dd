# shellcheck shell=bash
# Sourced by scripts/test.sh, scripts/demo.sh and scripts/package_linux.sh:
# how they install Debian packages. Packages come in groups, each its own
# apt-get install, so that one package the mirror cannot give today (say
# 32-bit Wine while its index is half synced) never costs the others.
#
#   can_install                 0 when this shell may install: root, with apt-get
#   install_group NAME PKG...   installs one group; on failure one WARNING line
#                               naming the packages and apt's own reason, the
#                               reason kept in install_failures[NAME], and 1
#   install_failure NAME        prints ": apt said: REASON" when NAME failed

declare -gA install_failures=()
package_lists_updated=0

can_install() {
  [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null
}

# A mirror in mid-sync fails an update for a while and then serves again:
# a few tries with a pause. Failing still, the lists already there serve.
update_package_lists() {
  [ $package_lists_updated -eq 1 ] && return 0
  package_lists_updated=1
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3; do
    # apt-get update exits 0 after some failed fetches; its E: lines tell.
    if apt-get update -qq >"$log" 2>&1 && ! grep -q '^E:' "$log"; then
      rm -f "$log"
      return 0
    fi
    [ $attempt -lt 3 ] && sleep 10
  done
  echo "WARNING: apt-get update did not fully succeed; installing from the package lists as they are: $(last_apt_error "$log")" >&2
  rm -f "$log"
  return 0
}

# apt's own reason: its last E: line, else its last line.
last_apt_error() {
  local reason
  reason=$(grep '^E:' "$1" | tail -n 1)
  [ -n "$reason" ] || reason=$(tail -n 1 "$1")
  printf '%s' "${reason:-no reason given}"
}

install_group() {
  local name=$1 log
  shift
  can_install || return 1
  case " $* " in
    *:i386\ *)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        package_lists_updated=0
      fi
      ;;
  esac
  update_package_lists
  echo "Installing $name: $*"
  log=$(mktemp)
  if apt_install "$log" "$@"; then
    rm -f "$log"
    return 0
  fi
  local reason
  reason=$(last_apt_error "$log")
  # A half-synced index of the updates (say the i386 one of the security
  # archive) leaves packages of two architectures that must match at
  # different versions. The release archive alone has them all, whole: a
  # second try takes every package from there, moving a shared library
  # that an earlier group took from the updates back to its release
  # version where it must.
  local preferences codename
  codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
  if [ -n "$codename" ]; then
    preferences=$(mktemp)
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$codename" >"$preferences"
    if apt_install "$log" --allow-downgrades -o Dir::Etc::Preferences="$preferences" "$@"; then
      rm -f "$log" "$preferences"
      echo "WARNING: $name ($*) installed from the $codename release archive alone, without its updates: the first try failed: $reason" >&2
      return 0
    fi
    rm -f "$preferences"
  fi
  install_failures[$name]=$reason
  rm -f "$log"
  echo "WARNING: could not install $name ($*): $reason" >&2
  return 1
}

# apt-get install ARGS..., its output in the file LOG.
apt_install() {
  local log=$1
  shift
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

install_failure() {
  [ -n "${install_failures[$1]:-}" ] && printf ': apt said: %s' "${install_failures[$1]}"
  return 0
}

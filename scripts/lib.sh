# Shared by scripts/test and scripts/demo.

# Debian packages the build, the tests and the demo need.
PATHLUX_PACKAGES=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev
    qt6-base-dev fonts-liberation2 xvfb xauth xdotool)

install_packages() {
    local missing=()
    for p in "${PATHLUX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# configure_build DIR [cmake args...]
configure_build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

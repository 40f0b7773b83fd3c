# Shared by scripts/test and scripts/demo.

# Debian packages the build, the tests and the demo need; the last line makes and checks the .deb.
PATHLUX_PACKAGES=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev
    qt6-base-dev fonts-liberation2 xvfb xauth xdotool
    dpkg-dev file desktop-file-utils groff-base)

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

# Background processes a script starts (it adds their ids to pids) and its scratch folder: both
# go when the script exits, however it exits.
pids=()
end_with_script() { # end_with_script WORKDIR
    scratch=$1
    trap end_background EXIT
}
end_background() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}

# wait_for COMMAND...: retries COMMAND for up to 20 s; says what never came.
wait_for() {
    for _ in $(seq 200); do
        "$@" && return 0
        sleep 0.1
    done
    echo "$(basename "$0"): timed out waiting for: $*" >&2
    return 1
}

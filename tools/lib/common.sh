# Shared helpers of the project's shell scripts (sourced, not run).
LM_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

lm_log() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }
lm_warn() { printf 'warning: %s\n' "$*" >&2; }
lm_die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Runs a command as root: directly when we are root, else through sudo.
lm_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

lm_jobs() { nproc 2>/dev/null || echo 2; }

# Prints the path of the native build's tool NAME (build/native/tools/NAME), building it first
# when it is missing.
lm_native_tool() {
    local tool=$LM_ROOT/build/native/tools/$1
    if [ ! -x "$tool" ]; then
        (cd "$LM_ROOT" && cmake --preset native >/dev/null &&
            cmake --build --preset native --target "$1" >/dev/null) || return 1
    fi
    echo "$tool"
}

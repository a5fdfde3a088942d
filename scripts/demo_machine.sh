# Shared by demo.sh and bench.sh (source it): the demo computer and the build
# that the installer comes from.
#
#   plx_prepare_build BUILD_DIR    installs missing tools, configures and builds
#                                  the package and the stand-in libraries
#                                  (PLX_BUILD_TYPE: a CMake build type for it)
#   plx_make_demo_machine DIR BUILD_DIR
#                                  a fresh simulated computer in DIR: Windows 6.1
#                                  x64 with product 8.30.20.0 installed (keys in
#                                  both registry views, older add-on libraries in
#                                  both installation directories, "VLSInstall"=1
#                                  in the common policy) and the package in
#                                  C:\Users\Public\Downloads

PLX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PLX_DIR32='C:\Program Files (x86)\Orvane\Vaultline Security Suite\'
PLX_DIR64='C:\Program Files\Orvane\Vaultline Security Suite\'

plx_install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    ((${#missing[@]})) || return 0
    echo "== installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "missing packages (${missing[*]}) and not root: install them with apt-get" >&2
        return 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
}

plx_prepare_build() {
    local build=$1
    shift
    # googletest: the stand-in libraries of older versions are made by the test tree.
    plx_install_missing cmake ninja-build g++ googletest g++-mingw-w64-i686-posix \
        g++-mingw-w64-x86-64-posix binutils-mingw-w64 "$@" || return 2
    mkdir -p "$(dirname "$build")"
    echo "== building the installer package in $build"
    cmake -S "$PLX_ROOT" -B "$build" -G Ninja ${PLX_BUILD_TYPE:+-DCMAKE_BUILD_TYPE=$PLX_BUILD_TYPE} \
        >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log"; return 1; }
    cmake --build "$build" --target plx_package plx_testdata || return 1
}

# The host path of a Windows path on the machine in $1.
plx_host_path() {
    local machine=$1 win=$2
    local rest=${win#?:\\}
    local drive
    drive=$(printf '%s' "${win:0:1}" | tr 'A-Z' 'a-z')
    printf '%s/drive_%s/%s' "$machine" "$drive" "${rest//\\//}"
}

plx_make_demo_machine() {
    local m=$1 build=$2
    rm -rf "$m"
    mkdir -p "$m/drive_c/Windows/system32" "$m/drive_c/Windows/SysWOW64" "$m/drive_c/ProgramData" "$m/drive_c/Users/Public/Downloads"
    cat >"$m/machine.ini" <<'INI'
[Windows]
Version=6.1
Architecture=x64
[User]
Administrator=1
INI
    cat >"$m/registry.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Orvane\Vaultline Security Suite]
"Version"="8.30.20.0"
"InstallPath"="C:\\Program Files (x86)\\Orvane\\Vaultline Security Suite\\"

[HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Vaultline Security Suite]
"InstallPath"="C:\\Program Files\\Orvane\\Vaultline Security Suite\\"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Orvane\PLX Common\Vaultline Security Suite]
"VLSInstall"=dword:00000001
REG
    local d32 d64 dl
    d32=$(plx_host_path "$m" "$PLX_DIR32")
    d64=$(plx_host_path "$m" "$PLX_DIR64")
    dl=$(plx_host_path "$m" 'C:\Users\Public\Downloads\')
    mkdir -p "$d32" "$d64"
    cp "$build/testdata/8.30.20.0/plxpwm_ie_com.dll" "$d32/plxpwm_ie_com.dll"
    cp "$build/testdata/8.30.20.0/plxpwm_ie_com_x64.dll" "$d64/plxpwm_ie_com.dll"
    cp "$build/package/"* "$dl/"
}

# Adds registry text (UTF-8 regedit lines) to the demo machine before its first run.
plx_add_registry() {
    local m=$1
    shift
    printf '\n%s\n' "$@" >>"$m/registry.reg"
}

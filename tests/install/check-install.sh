#!/usr/bin/env bash
# Checks the installation end to end, step by step; a failure names its step.
#   check-install.sh --build <build folder> --source <source folder>
#                    --desktop-test <tst_installedtester> [--sanitized]
# --sanitized: the build under test carries the sanitizers. Its packages would
# only repeat the normal build's, so they are not made; and the sanitizers'
# own tables name every source file by its path, so installed files are not
# searched for build paths.
# Needs DISPLAY and PULSE_SERVER (scripts/test starts both).
set -euo pipefail

build= source= desktop_test= sanitized=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --source) source=$2; shift 2 ;;
        --desktop-test) desktop_test=$2; shift 2 ;;
        --sanitized) sanitized=1; shift ;;
        *) echo "check-install: unknown argument $1" >&2; exit 2 ;;
    esac
done

# A build for Qt 6 names its development files and packages after it, so
# that they install beside those for Qt 5.
qt=$(sed -n 's/^QT_MAJOR_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
suffix= deb=zqp-plugins qt_packages=(libqt5core5a libqt5widgets5) headers=include/zqp
if [ "$qt" = 6 ]; then
    suffix=6 deb=zqp-plugins-qt6 qt_packages=(libqt6core6 libqt6widgets6) headers=include/zqp6/zqp
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zqp-install.XXXXXX")
step=setup
trap 'echo "check-install: FAILED in step: $step" >&2' ERR
trap 'rm -rf "$work"' EXIT

begin() { step=$1; echo "== $step"; }
fail() { echo "check-install: $*" >&2; false; }

# Programs that are not built with the sanitizers but load a library that is.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
# The installed programs are the build's own, whose leaks the tests that run
# them from the build check. Here LeakSanitizer's scan at exit would only add
# its own failures (its tracer has crashed at plugin-tester's exit).
[ "$sanitized" = 0 ] || export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"

# The files every installation must hold, relative to its prefix; <lib> is the
# library folder.
installed_files=(
    bin/plugin-tester
    "<lib>/libZQCore$suffix.so.1" "<lib>/libZQCore$suffix.so"
    '<lib>/plugin-tester/plugin-tester' '<lib>/plugin-tester/Config.dat'
    '<lib>/plugin-tester/libbass.so' '<lib>/plugin-tester/libfmodex.so'
    '<lib>/plugin-tester/bass/libbassffmpeg.so' '<lib>/plugin-tester/nsocr/libNSOCR.so'
    '<lib>/plugin-tester/zqp/zqp.adp.bass.so' '<lib>/plugin-tester/zqp/zqp.adp.fmodex.so'
    '<lib>/plugin-tester/zqp/zqp.ocr.nicomsoft.so'
    "$headers/zqpobject.h" "$headers/zqpaudioplayer.h" "$headers/zqpocrtext.h" "$headers/zqpplatform.h"
    "<lib>/cmake/ZQP$suffix/ZQP${suffix}Config.cmake" "<lib>/cmake/ZQP$suffix/ZQP${suffix}ConfigVersion.cmake"
    "<lib>/cmake/ZQP$suffix/ZQP${suffix}Targets.cmake" "<lib>/cmake/ZQP$suffix/ZqpPlugin.cmake"
    "<lib>/pkgconfig/zqcore$suffix.pc"
    share/applications/plugin-tester.desktop share/icons/hicolor/scalable/apps/plugin-tester.svg
    share/man/man1/plugin-tester.1.gz
)

libdir_of() { dirname "$(dirname "$(find "$1" -path '*/plugin-tester/plugin-tester' -type f)")"; }

check_tree() {
    local prefix=$1 lib
    lib=$(libdir_of "$prefix")
    for f in "${installed_files[@]}"; do
        f=${f/<lib>/${lib#"$prefix"/}}
        [ -e "$prefix/$f" ] || fail "$f is not installed"
    done
    if [ "$sanitized" = 0 ]; then
        local found
        found=$(grep -rlaF -e "$build" -e "$source" "$prefix" || true)
        [ -z "$found" ] || fail "build paths in installed files: $found"
    fi
    local elf runpath
    while IFS= read -r elf; do
        runpath=$(readelf -d "$elf" | sed -n 's/.*(R\(UN\)\?PATH).*\[\(.*\)\]/\2/p')
        for entry in ${runpath//:/ }; do
            case "$entry" in '$ORIGIN'*) ;; *) fail "$elf searches $entry" ;; esac
        done
    done < <(find "$prefix" -type f \( -name '*.so*' -o -perm -u+x \) -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
    desktop-file-validate "$prefix/share/applications/plugin-tester.desktop"
}

# Starts the installed program through its launcher from a folder where a
# library named like the OCR engine is planted, with the example plugins in
# its zqp/ folder, and drives it.
check_desktop() {
    local prefix=$1 caller="$work/caller-$2"
    mkdir -p "$caller/nsocr"
    cc -shared -fPIC -DPLANTED_MARKER="\"$caller/planted-was-loaded\"" \
        -o "$caller/nsocr/libNSOCR.so" "$(dirname "$0")/planted.c"
    printf 'Main/DataDirectory=%s\n' "$caller/nothing" > "$caller/Config.dat"
    ZQP_LAUNCHER="$prefix/bin/plugin-tester" ZQP_APPDIR="$(libdir_of "$prefix")/plugin-tester" \
    ZQP_CALLER_DIR="$caller" ZQP_PLANTED_MARKER="$caller/planted-was-loaded" \
        "$desktop_test"
}

# What the example host prints for the two example plugins, in order.
check_host() {
    local host=$1 plugins=$2 output
    echo "a file" > "$work/file.txt"
    output=$("$host" "$plugins" "$work/file.txt")
    echo "$output"
    local expected=(
        "adp/Sine tone: zqp.adp.sine.so" "Sine tone: playing $work/file.txt" "unloaded"
        "ocr/Fixed text: zqp.ocr.fixed.so" "Fixed text: text: Fixed text from an example plugin" "unloaded"
        "2 plugins")
    local line
    for line in "${expected[@]}"; do
        grep -qxF "$line" <<<"$output" || fail "the host did not print: $line"
    done
}

prefix="$work/one"
begin "install into a temporary prefix"
cmake --install "$build" --prefix "$prefix" --strip >/dev/null
check_tree "$prefix"

begin "examples with find_package(ZQP$suffix)"
cmake -S "$source/examples" -B "$work/examples-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DQT_MAJOR_VERSION="$qt" >/dev/null
cmake --build "$work/examples-cmake" >/dev/null
check_host "$work/examples-cmake/zqp-host" "$work/examples-cmake"

begin "examples with pkg-config"
mkdir -p "$work/examples-make"
PKG_CONFIG_PATH="$(libdir_of "$prefix")/pkgconfig" make -s -C "$work/examples-make" -f "$source/examples/Makefile" \
    ZQCORE="zqcore$suffix" >/dev/null
check_host "$work/examples-make/zqp-host" "$work/examples-make"

begin "example plugins installed into plugin-tester's folder"
cmake --install "$work/examples-cmake" >/dev/null
for plugin in zqp.adp.sine.so zqp.ocr.fixed.so; do
    [ -f "$(libdir_of "$prefix")/plugin-tester/zqp/$plugin" ] || fail "$plugin is not in plugin-tester's zqp/"
done

begin "installed plugin-tester, started through its launcher"
check_desktop "$prefix" one

begin "the tree moved to another prefix"
mkdir -p "$work/elsewhere"
mv "$prefix" "$work/elsewhere/two"
prefix="$work/elsewhere/two"
check_tree "$prefix"
check_desktop "$prefix" two

if [ "$sanitized" = 0 ]; then
    begin "Debian packages"
    (cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
    runtime=$(ls "$work"/deb/${deb}_*.deb)
    dev=$(ls "$work"/deb/${deb}-dev_*.deb)
    ls -l "$runtime" "$dev"
    # Each file in its package, and none in the other.
    contents() { dpkg-deb -c "$1" | awk '{ print $6 }' | sed 's|^\./|/|'; }
    # <lib> is /usr/lib or its multiarch folder.
    in_package() {
        local pattern=${2//./\\.}
        contents "$1" | grep -qE "^${pattern/<lib>//usr/lib(/[^/]+)?}$" || fail "$2 is not in $(basename "$1")"
    }
    for f in /usr/bin/plugin-tester "<lib>/libZQCore$suffix.so.1.0.0" '<lib>/plugin-tester/plugin-tester' \
             '<lib>/plugin-tester/Config.dat' '<lib>/plugin-tester/zqp/zqp.ocr.nicomsoft.so' \
             '<lib>/plugin-tester/nsocr/libNSOCR.so' '<lib>/plugin-tester/bass/libbassffmpeg.so' \
             /usr/share/applications/plugin-tester.desktop "/usr/share/doc/$deb/copyright"; do
        in_package "$runtime" "$f"
    done
    for f in "/usr/$headers/zqpobject.h" "<lib>/cmake/ZQP$suffix/ZQP${suffix}Config.cmake" \
             "<lib>/pkgconfig/zqcore$suffix.pc" "<lib>/libZQCore$suffix.so" "/usr/share/doc/$deb-dev/copyright"; do
        in_package "$dev" "$f"
    done
    ! contents "$runtime" | grep -qE '/include/|\.pc$|/cmake/|libZQCore6?\.so$' || fail "development files in the runtime package"
    ! contents "$dev" | grep -qE '\.so\.[0-9]|/plugin-tester' || fail "runtime files in the dev package"

    # Dependencies as dpkg-shlibdeps found them, on Debian's packages.
    depends=$(dpkg-deb -f "$runtime" Depends)
    echo "Depends: $depends"
    for p in libc6 "${qt_packages[@]}" libtesseract5 libpulse0 libsndfile1 'libavformat[0-9]' tesseract-ocr-eng; do
        grep -qE "(^|, )$p" <<<"$depends" || fail "the runtime package does not depend on $p"
    done
    grep -qE "(^|, )$deb \(= " <<<"$(dpkg-deb -f "$dev" Depends)" || fail "the dev package does not depend on $deb"

    lintian --fail-on error --no-tag-display-limit "$runtime" "$dev"
fi

step=done
echo "check-install: all steps passed"

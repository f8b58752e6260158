# Sourced by scripts/test and scripts/fuzz: builds the fuzz targets and
# their seeds with clang (ZQP_FUZZ) in build-fuzz/, or in $ZQP_FUZZ_BUILD_DIR.

fuzz_build="${ZQP_FUZZ_BUILD_DIR:-$root/build-fuzz}"

# True when this machine has the clang that the fuzz targets need.
have_fuzz_compiler() {
    command -v clang >/dev/null && command -v clang++ >/dev/null \
        && [ -f "$(clang++ -print-file-name="libclang_rt.fuzzer-$(uname -m).a")" ]
}

build_fuzz() {
    cmake -S "$root" -B "$fuzz_build" -G Ninja -DZQP_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$fuzz_build" --target fuzz
}

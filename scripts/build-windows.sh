#!/usr/bin/env bash
# Builds kesola.exe and kesola-admin.exe for 64-bit Windows, and their MSI, on Debian 12 (run as root: it installs
# the packages it needs). Everything is built with mingw-w64 from Debian's own sources, at the versions the Linux
# build uses: qtbase (only what the program uses), SQLite, OpenSSL and libpq. Nothing comes from outside Debian's
# registry. Prints the MSI's path last.
#
# Each of those libraries is kept in a cache folder named after a hash of its recipe (the build function below, its
# source version and the toolchain file), beside CI's other cache, so a second run builds only the program.
#
# Environment:
#   KESOLA_CI_CACHE          the cache (/var/cache/kesola-ci; CI's fresh root sees the same folder)
#   KESOLA_VERSION           the build's version; by default 1.0.<commits> from git (source_version below)
#   KESOLA_SIGN_CERT, KESOLA_SIGN_KEY
#                            IT's code-signing certificate and its key (a PEM file, or a key on a PKCS#11 token):
#                            with both set, the MSI and every program file in it are signed by
#                            scripts/sign-windows.sh, which tells the other KESOLA_SIGN_* settings.
#   KESOLA_WINDOWS_DEPS_ONLY=1
#                            build (or find) the libraries only
set -euo pipefail
cd "$(dirname "$0")/.."
source_root=$PWD

started=$(date +%s)
say() { echo "== build-windows: $* ($(($(date +%s) - started)) s)"; }
jobs=2

cache=${KESOLA_CI_CACHE:-/var/cache/kesola-ci}
toolchain=$source_root/cmake/mingw-w64-x86_64.cmake
out=$source_root/build/windows

# Source versions. The newest security releases' sources are not always on the mirror yet; these are, and they are
# what the Linux build runs (libpq5 15.18, qt6 6.4.2, sqlite 3.40.1; OpenSSL 3.0 of the same stable release).
qt_source=qt6-base=6.4.2+dfsg-10
sqlite_source=sqlite3=3.40.1-2+deb12u2
openssl_source=openssl=3.0.17-1~deb12u2
postgres_source=postgresql-15=15.18-0+deb12u1

if [ "$(id -u)" -ne 0 ]; then
    echo "$0: needs root (it installs Debian packages): run it as root or with sudo" >&2
    exit 1
fi
scripts/install-deps.sh windows

work=$(mktemp -d /var/tmp/kesola-build-windows.XXXXXX)
trap 'rm -rf "$work"' EXIT

# --- Debian's sources, through an apt configuration of our own: the machine's own apt setup stays untouched.
apt_dir=$work/apt
apt_private() {
    apt-get -o Dir::Etc::sourcelist="$apt_dir/sources.list" -o Dir::Etc::sourceparts=/dev/null \
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" "$@"
}
apt_ready=0
fetch_source() { # fetch_source NAME=VERSION: unpacks it into the current folder, prints the folder's name
    if [ $apt_ready = 0 ]; then
        mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
        "$source_root/scripts/debian-mirrors.sh" | sed 's/^deb /deb-src /' >"$apt_dir/sources.list"
        apt_private update -qq >"$apt_dir/update.log" 2>&1 || { cat "$apt_dir/update.log" >&2; return 1; }
        apt_ready=1
    fi
    apt_private source -qq "$1" >source.log 2>&1 || { cat source.log >&2; return 1; }
    rm -f ./*.dsc ./*.tar.* source.log
    find . -mindepth 1 -maxdepth 1 -type d | head -n1
}

# --- The recipes. Each runs in an empty folder of its own and installs into $1.
build_sqlite() {
    local prefix=$1 dir
    dir=$(fetch_source "$sqlite_source")
    (cd "$dir" && ./configure --disable-tcl >configure.log 2>&1 && make sqlite3.c >make.log 2>&1)
    mkdir -p "$prefix/bin" "$prefix/lib" "$prefix/include"
    # A DLL, not a static library: Qt's driver and the program's own engine share one SQLite, as on Linux.
    x86_64-w64-mingw32-gcc-posix -O2 -shared -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_API='__declspec(dllexport)' -o "$prefix/bin/sqlite3.dll" "$dir/sqlite3.c" \
        -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a"
    cp "$dir/sqlite3.h" "$dir/sqlite3ext.h" "$prefix/include/"
}

build_openssl() {
    local prefix=$1 dir
    dir=$(fetch_source "$openssl_source")
    cd "$dir"
    ./Configure mingw64 --cross-compile-prefix=x86_64-w64-mingw32- no-tests shared --prefix="$prefix" \
        --libdir=lib >configure.log 2>&1
    make -j$jobs build_libs >make.log 2>&1 || { tail -50 make.log >&2; return 1; }
    make install_dev >install.log 2>&1
}

build_libpq() {
    local prefix=$1 openssl=$2 dir
    dir=$(fetch_source "$postgres_source")
    cd "$dir"
    ./configure --host=x86_64-w64-mingw32 --without-readline --without-zlib --without-icu --with-ssl=openssl \
        --prefix="$prefix" CPPFLAGS="-I$openssl/include" LDFLAGS="-L$openssl/lib" >configure.log 2>&1 ||
        { tail -30 config.log >&2; return 1; }
    {
        make -C src/include install && make -j$jobs -C src/common && make -j$jobs -C src/port &&
            make -j$jobs -C src/interfaces/libpq && make -C src/interfaces/libpq install
    } >make.log 2>&1 || { tail -50 make.log >&2; return 1; }
}

# qtbase is built in place (its install prefix is its build folder), with only the targets the programs and their
# tests use; so the source stays beside it in the cache.
build_qtbase() {
    local prefix=$1 sqlite=$2 libpq=$3 openssl=$4 dir
    cd "$prefix"
    dir=$(fetch_source "$qt_source")
    cmake -G Ninja -S "$dir" -B "$prefix/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DKESOLA_WINDOWS_PREFIXES="$sqlite;$libpq;$openssl" -DCMAKE_INSTALL_PREFIX="$prefix/build" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_system_sqlite=ON -DSQLite3_INCLUDE_DIR="$sqlite/include" \
        -DSQLite3_LIBRARY="$sqlite/lib/libsqlite3.dll.a" \
        -DFEATURE_sql_psql=ON -DPostgreSQL_INCLUDE_DIR="$libpq/include" -DPostgreSQL_LIBRARY="$libpq/lib/libpq.a" \
        -DFEATURE_sql_odbc=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF \
        -DFEATURE_sql_db2=OFF -DFEATURE_dbus=OFF -DFEATURE_tabletevent=OFF -DFEATURE_opengl=ON \
        >"$prefix/configure.log" 2>&1 || { tail -60 "$prefix/configure.log" >&2; return 1; }
    # Ninja's own progress ("[512/1036]"), one line a minute, so a long build shows it is alive.
    cmake --build "$prefix/build" -j$jobs --target Core Gui Widgets PrintSupport Sql Test QSQLiteDriverPlugin \
        QPSQLDriverPlugin QWindowsIntegrationPlugin QWindowsVistaStylePlugin >"$prefix/build.log" 2>&1 &
    local build=$!
    while kill -0 $build 2>/dev/null; do
        sleep 60
        kill -0 $build 2>/dev/null && say "qtbase: $(grep -o '^\[[0-9]*/[0-9]*\]' "$prefix/build.log" | tail -n1)"
    done
    wait $build || { tail -60 "$prefix/build.log" >&2; return 1; }
    # Windowless platforms for the unit tests, as offscreen is on Linux; whichever compiles for Windows.
    cmake --build "$prefix/build" -j$jobs --target QOffscreenIntegrationPlugin >>"$prefix/build.log" 2>&1 ||
        say "qtbase: no offscreen platform for Windows"
    cmake --build "$prefix/build" -j$jobs --target QMinimalIntegrationPlugin >>"$prefix/build.log" 2>&1 ||
        say "qtbase: no minimal platform for Windows"
    # The object files are not needed once the libraries are linked.
    find "$prefix/build" -name '*.obj' -delete
}

# sqlite3.dll as it is installed: build_sqlite's DLL (the same source and options, so the same exports) with version
# information, for Explorer and the MSI's file table. A recipe of its own, staged over build_sqlite's DLL, so that
# build_sqlite's cache, and Qt's built on it, stay as they are.
build_sqlite_versioned() {
    local prefix=$1 dir version
    dir=$(fetch_source "$sqlite_source")
    (cd "$dir" && ./configure --disable-tcl >configure.log 2>&1 && make sqlite3.c >make.log 2>&1)
    version=$(sed -n 's/^#define SQLITE_VERSION *"\([0-9.]*\)"/\1/p' "$dir/sqlite3.h")
    sed -e "s/@COMMAS@/${version//./,}/g" -e "s/@VERSION@/$version/g" >sqlite3.rc <<'RC'
#include <winver.h>
VS_VERSION_INFO VERSIONINFO
FILEVERSION @COMMAS@,0
PRODUCTVERSION @COMMAS@,0
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_DLL
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904B0"
        BEGIN
            VALUE "FileDescription", "SQLite library"
            VALUE "FileVersion", "@VERSION@"
            VALUE "LegalCopyright", "Public domain"
            VALUE "OriginalFilename", "sqlite3.dll"
            VALUE "ProductName", "SQLite"
            VALUE "ProductVersion", "@VERSION@"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x409, 1200
    END
END
RC
    x86_64-w64-mingw32-windres sqlite3.rc -O coff -o sqlite3-version.o
    mkdir -p "$prefix/bin"
    x86_64-w64-mingw32-gcc-posix -O2 -shared -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_API='__declspec(dllexport)' -o "$prefix/bin/sqlite3.dll" "$dir/sqlite3.c" sqlite3-version.o
}

# cached NAME FUNCTION ARGS...: prints the cache folder of NAME, building it first when it is not there. Its hash
# covers the recipe's text, the source versions, the toolchain file and the arguments (the folders of what it is
# built on, themselves named by their hashes).
cached() {
    local name=$1 recipe=$2; shift 2
    local hash folder
    hash=$( { declare -f "$recipe"; declare -f fetch_source; echo "$qt_source $sqlite_source $openssl_source"
              echo "$postgres_source $*"; cat "$toolchain"; } | sha256sum | cut -c1-16)
    folder=$cache/windows-$name-$hash
    mkdir -p "$cache"
    # Two runs at once (a developer's and CI's) build a library once: the second waits for the first.
    exec {lock}>"$folder.lock"
    flock $lock
    if [ ! -f "$folder/.complete" ]; then
        say "building $name from Debian's source into $folder" >&2
        rm -rf "$folder"
        mkdir -p "$folder" "$work/$name"
        # In the background, so that set -e holds inside the recipe (it would not in a "|| ..." list).
        (cd "$work/$name" && "$recipe" "$folder" "$@") >&2 &
        wait $! || { echo "build-windows: $name failed" >&2; exit 1; }
        touch "$folder/.complete"
        say "$name built" >&2
    fi
    exec {lock}>&-
    echo "$folder"
}

sqlite=$(cached sqlite build_sqlite)
sqlite_versioned=$(cached sqlite-versioned build_sqlite_versioned)
openssl=$(cached openssl build_openssl)
libpq=$(cached libpq build_libpq "$openssl")
qtbase=$(cached qtbase build_qtbase "$sqlite" "$libpq" "$openssl")
say "libraries ready: $sqlite $openssl $libpq $qtbase"
[ "${KESOLA_WINDOWS_DEPS_ONLY:-0}" = 1 ] && exit 0

# --- The build's version: the project's major and minor version and the number of commits (1.0.<commits>), so that
# every later commit's MSI upgrades the one before and two builds of one commit are one version. A tarball or a
# shallow clone has no count to give: it takes KESOLA_VERSION, or else the project's own version (1.0.0), which a
# build with the history upgrades.
source_version() {
    local project commits git=(git -c safe.directory="$source_root") # run as root in a developer's checkout
    project=$(sed -n 's/^project(kesola VERSION \([0-9]*\.[0-9]*\)\..*/\1/p' CMakeLists.txt)
    if [ "$("${git[@]}" rev-parse --is-shallow-repository 2>/dev/null)" = false ] &&
        commits=$("${git[@]}" rev-list --count HEAD 2>/dev/null); then
        echo "$project.$commits"
    else
        echo "$project.0"
    fi
}
version=${KESOLA_VERSION:-$(source_version)}
say "version $version"

# --- The programs. One CMake project for both platforms; cmake/mingw-w64-x86_64.cmake makes it a Windows build.
# KESOLA_WINDOWS_TESTS=1 builds the engine's and the store's unit tests too, run under wine by ctest.
build=$out/build
stage=$out/stage
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Where the programs' DLLs are: Qt's, the libraries', and the mingw runtime's.
dll_folders=("$qtbase/build/bin" "$sqlite/bin" "$libpq/bin" "$libpq/lib" "$openssl/bin"
    /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
# The unit tests run under wine from the build folder, finding those DLLs and Qt's plugins where they are.
emulator="$source_root/tests/windows/wine-run.sh;--prefix=$build/wine-prefix;--plugins=$qtbase/build/plugins"
for folder in "${dll_folders[@]}"; do emulator+=";--dlls=$folder"; done
say "building kesola.exe and kesola-admin.exe in $build"
mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DKESOLA_WINDOWS_PREFIXES="$qtbase/build;$sqlite;$libpq;$openssl" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DKESOLA_VERSION="$version" -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log" >&2; exit 1; }
targets=(kesola kesola-admin)
[ "${KESOLA_WINDOWS_TESTS:-0}" = 1 ] && targets+=(engine_tests store_tests)
cmake --build "$build" -j$jobs --target "${targets[@]}"

# --- The folder the MSI installs: the programs, every DLL they load (found by reading their imports), Qt's plugins
# and Japanese translation, and a qt.conf that makes Qt look for them beside the program.
say "staging the programs and the DLLs they need in $stage"
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/sqldrivers" "$stage/translations"
cp "$build/app/kesola.exe" "$build/admin/kesola-admin.exe" "$stage/"
cp "$qtbase/build/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qtbase/build/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$qtbase/build/plugins/sqldrivers/qsqlite.dll" "$qtbase/build/plugins/sqldrivers/qsqlpsql.dll" "$stage/sqldrivers/"
cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
printf '[Paths]\nPrefix=.\nPlugins=.\nTranslations=translations\n' >"$stage/qt.conf"
# Copies the DLLs a program imports, and theirs; DLLs found in none of the folders are Windows' own. Windows
# matches DLL names whatever their case (Qt's driver imports "LIBPQ.dll").
copy_imports() {
    local dll folder found
    for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p'); do
        [ -n "$(find "$stage" -maxdepth 1 -iname "$dll")" ] && continue
        for folder in "${dll_folders[@]}"; do
            found=$(find "$folder" -maxdepth 1 -iname "$dll" | head -n1)
            if [ -n "$found" ]; then
                cp "$found" "$stage/"
                copy_imports "$stage/$(basename "$found")"
                break
            fi
        done
    done
}
while IFS= read -r binary; do copy_imports "$binary"; done < <(find "$stage" -name '*.exe' -o -name '*.dll')
# Unstripped, libstdc++ alone is 23 MB.
# SQLite's DLL with its version information (build_sqlite_versioned), in place of the one the programs were built on.
cp "$sqlite_versioned/bin/sqlite3.dll" "$stage/sqlite3.dll"
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# --- The MSI, at the build's version, signed when IT gives a certificate and its key.
rm -f "$out"/kesola-*-x64.msi
msi=$out/kesola-$version-x64.msi
say "making $msi with wixl"
packaging/windows/make-msi.sh "$stage" "$version" "$msi"
if [ -n "${KESOLA_SIGN_CERT:-}" ] && [ -n "${KESOLA_SIGN_KEY:-}" ]; then
    say "signing the MSI and every program file in it with $KESOLA_SIGN_CERT"
    scripts/sign-windows.sh "$msi"
fi
say "done: $(du -h "$msi" | cut -f1)"
echo "$msi"

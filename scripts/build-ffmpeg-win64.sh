#!/usr/bin/env bash
# Builds FFmpeg's and x264's static libraries for 64-bit Windows from Debian's own source packages, at the
# versions of the FFmpeg the Linux program links, with only what uvdenoise uses. The result goes into a cache
# outside the work tree, one folder per source versions and configuration (a hash of this script, which holds
# the configure lines, and of the compilers), so a second run returns at once.
#   scripts/build-ffmpeg-win64.sh         builds when needed; prints the folder (include/, lib/, sources/)
#   scripts/build-ffmpeg-win64.sh --dir   prints the folder it would use, and builds nothing
# UVD_FFMPEG_WIN64_CACHE moves the cache (default /var/cache/uvdenoise/ffmpeg-win64); UVD_JOBS sets make's -j.
set -euo pipefail

script="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cache_root="${UVD_FFMPEG_WIN64_CACHE:-/var/cache/uvdenoise/ffmpeg-win64}"
jobs="${UVD_JOBS:-2}"
host=x86_64-w64-mingw32
cc="$host-gcc-posix"

# The same source versions as the Linux build's libraries, so both programs decode and encode alike.
ffmpeg_version=$(dpkg-query -W -f='${source:Version}' libavcodec-dev)
x264_version=$(dpkg-query -W -f='${source:Version}' 'libx264-[0-9]*' | head -n1)

x264_configure=(
  --host="$host" --cross-prefix="$host-" --enable-static --disable-cli --disable-opencl --disable-avs
  --disable-swscale --disable-lavf --disable-ffms --disable-gpac --disable-lsmash --bit-depth=all
  --chroma-format=all --enable-strip
)
ffmpeg_configure=(
  --enable-cross-compile --target-os=mingw32 --arch=x86_64 --cross-prefix="$host-" --cc="$cc" --cxx="$host-g++-posix"
  --pkg-config=pkg-config --pkg-config-flags=--static
  --enable-gpl --enable-libx264 --enable-w32threads
  --disable-everything --disable-programs --disable-doc --disable-network --disable-autodetect --disable-debug
  --enable-static --disable-shared --disable-avdevice --disable-avfilter --disable-swresample --disable-postproc
  --enable-protocol=file,pipe
  --enable-demuxer=mpegts,mpegps,mpegvideo,h264,hevc,matroska,avi,mov,dv,nut,yuv4mpegpipe
  --enable-parser=mpegvideo,h264,hevc,mjpeg,dvbsub,dvdsub,ac3,aac,aac_latm,mpegaudio
  --enable-decoder=mpeg1video,mpeg2video,h264,hevc,dvvideo,mjpeg,huffyuv,ffvhuff,rawvideo,v210,ffv1
  --enable-decoder=mp1,mp2,mp3,ac3,eac3,aac,aac_latm
  --enable-decoder=pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_u8,pcm_f32le,pcm_dvd,pcm_bluray
  --enable-decoder=subrip,ass,ssa,movtext,dvbsub,dvdsub
  --enable-muxer=matroska,avi,nut,mov,mp4,mpeg1system,mpeg2vob,yuv4mpegpipe
  --enable-encoder=ffv1,libx264,mpeg2video,mjpeg,rawvideo
  --enable-bsf=null,aac_adtstoasc,h264_mp4toannexb,hevc_mp4toannexb
  --enable-swscale
)

key=$( { cat "$script"; echo "$ffmpeg_version $x264_version"; "$cc" --version | head -n1; nasm -v; } |
  sha256sum | cut -c1-16)
dest="$cache_root/$key"
if [ "${1:-}" = --dir ]; then
  echo "$dest"
  exit 0
fi
if [ -f "$dest/complete" ]; then
  echo "$dest"
  exit 0
fi

log() { echo "build-ffmpeg-win64: $*" >&2; }
started=$(date +%s)
rm -rf "$dest"
mkdir -p "$dest/sources" "$dest/build" "$dest/apt/lists/partial" "$dest/apt/sources.list.d" "$dest/bin"

# A private deb-src entry made from the machine's own apt sources, so the system's apt stays as it was.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$dest/apt/sources.list.d/$(basename "$f")"
done
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] && sed -nE 's/^deb[[:space:]]/deb-src /p' "$f" >"$dest/apt/sources.list.d/$(basename "$f" .list)-src.list"
done
apt_options=(
  -o Dir::Etc::SourceParts="$dest/apt/sources.list.d" -o Dir::Etc::SourceList=/dev/null
  -o Dir::State::Lists="$dest/apt/lists" -o Dir::Cache="$dest/apt/cache" -o Dir::Cache::pkgcache=
  -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root -q
)
log "fetching ffmpeg $ffmpeg_version and x264 $x264_version"
apt-get "${apt_options[@]}" update >&2
(cd "$dest/sources" && apt-get "${apt_options[@]}" source --download-only "ffmpeg=$ffmpeg_version" "x264=$x264_version" >&2)
(cd "$dest/build" && dpkg-source -q -x "$dest"/sources/ffmpeg_*.dsc ffmpeg >&2 &&
  dpkg-source -q -x "$dest"/sources/x264_*.dsc x264 >&2)

# nasm stamps each object with the time unless asked not to.
printf '#!/bin/sh\nexec /usr/bin/nasm --reproducible "$@"\n' >"$dest/bin/nasm"
chmod +x "$dest/bin/nasm"
export PATH="$dest/bin:$PATH" SOURCE_DATE_EPOCH=0
export PKG_CONFIG_LIBDIR="$dest/lib/pkgconfig" PKG_CONFIG_PATH=

# No build paths inside the objects: the sources are built in place (relative names) and any absolute one is
# mapped away.
prefix_map="-ffile-prefix-map=$dest/build=."
log "building x264"
(cd "$dest/build/x264" && CC="$cc" ./configure --prefix="$dest" --extra-cflags="$prefix_map" "${x264_configure[@]}" >&2 &&
  make -j"$jobs" >&2 && make install-lib-static >&2)

# configure drops a component name it does not know without a word: stop on one instead.
check_components() {  # check_components <config_components.h>
  local option kind name missing=0
  for option in "${ffmpeg_configure[@]}"; do
    [[ "$option" =~ ^--enable-(demuxer|muxer|parser|decoder|encoder|bsf|protocol)=(.*)$ ]] || continue
    kind=${BASH_REMATCH[1]}
    for name in ${BASH_REMATCH[2]//,/ }; do
      if ! grep -q "^#define CONFIG_${name^^}_${kind^^} 1" "$1"; then
        log "configure knows no $kind called $name"
        missing=1
      fi
    done
  done
  return "$missing"
}

log "building ffmpeg"
(cd "$dest/build/ffmpeg" && ./configure --prefix="$dest" --extra-cflags="$prefix_map" "${ffmpeg_configure[@]}" >&2 &&
  check_components config_components.h &&
  # The configuration string is compiled in: keep the cache's path out of it.
  sed -i "/FFMPEG_CONFIGURATION/s|$dest|.|g" config.h &&
  make -j"$jobs" >&2 && make install >&2)

{
  echo "ffmpeg $ffmpeg_version"
  echo "x264 $x264_version"
} >"$dest/versions.txt"
{
  echo "# Debian source packages ffmpeg $ffmpeg_version and x264 $x264_version, built with $("$cc" --version | head -n1)"
  echo "x264: ./configure --prefix=PREFIX --extra-cflags=-ffile-prefix-map=BUILD=. ${x264_configure[*]}"
  echo "ffmpeg: ./configure --prefix=PREFIX --extra-cflags=-ffile-prefix-map=BUILD=. ${ffmpeg_configure[*]}"
} >"$dest/configure-lines.txt"
cp "$dest/build/ffmpeg/COPYING.LGPLv2.1" "$dest/build/ffmpeg/COPYING.GPLv2" "$dest/"
cp "$dest/build/x264/COPYING" "$dest/COPYING.x264"
rm -rf "$dest/build" "$dest/apt"
touch "$dest/complete"
log "done in $(($(date +%s) - started)) s"
echo "$dest"

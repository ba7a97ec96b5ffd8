#!/usr/bin/env bash
# velmora-render --video, run for real. formats: a WebM and an MP4 of steps
# 0 to 60 at 320 x 240, probed with ffprobe, their first and last frames
# decoded beside the PNG renderer's pictures of steps 0 and 60, and the
# progress in a pipe and on a terminal. failures: no ffmpeg, an encoder that
# ends at once, a full disk, Ctrl-C: each exits non-zero, says why, and
# leaves no file.
# Usage: video_test.sh formats|failures PROGRAM SOURCE_DIR WORK_DIR
set -uo pipefail
what=$1 program=$2 work=$4
# shellcheck source=../../scripts/suite_lib.sh
source "$3/scripts/suite_lib.sh"
rm -rf "$work"
mkdir -p "$work"
started=$SECONDS

# The codec's error, measured at 320 x 240 with seeds 1, 5, 7, 42 and 99,
# both formats, as ImageMagick's PSNR over the RGB bytes: step 0's frame
# 36.9-37.8 dB (step 1's picture beside it: at most 21.5), step 60's
# 24.4-25.5 dB (step 59's: at most 14.9); every frame of steps 0-60 at least
# 24.1. The bounds leave 3.9 and 2.4 dB for other encoder builds.
first_bound=33
last_bound=22

# at_least NAME PSNR BOUND
at_least() {
  if [ "$2" = inf ] || awk -v psnr="$2" -v bound="$3" 'BEGIN { exit !(psnr + 0 >= bound) }'; then
    pass "$1: $2 dB"
  else
    fail "$1" "PSNR $2 dB, below $3"
  fi
}

# only_files NAME LISTING FILE...: LISTING (ls -A, a name a line) names
# these files alone.
only_files() {
  local name=$1 listing=$2
  shift 2
  expect "$name: files left" "$(printf '%s' "$listing" | tr '\n' ' ')" "$*"
}

formats() {
  local picture
  for picture in 0 60; do
    "$program" --size 320x240 --seed 5 --steps "$picture" --out "$work/step-$picture.png" >/dev/null ||
      fail "the PNG renderer's picture of step $picture"
  done
  local format codec video status name
  for format in webm mp4; do
    mkdir -p "$work/$format"
    video=$work/$format/v.$format
    name=$format
    if [ "$format" = webm ]; then
      codec=vp9
      # A name that ffmpeg would take for its standard output, but a file's.
      video=$work/$format/pipe:1.webm
      (cd "$work/$format" && "$program" --video pipe:1.webm --size 320x240 --seed 5 --steps 60) >"$work/$format.log" 2>&1
      status=$?
      # In a pipe, a line at every tenth.
      expect "webm: progress lines" "$(grep -c 'of 61 frames' "$work/$format.log")" 10
    else
      codec=h264
      script -qec "'$program' --video '$video' --size 320x240 --seed 5 --steps 60" /dev/null >"$work/$format.log"
      status=$?
      # On a terminal, one line redrawn in place.
      expect "mp4: progress on one line" "$(grep 'of 61 frames' "$work/$format.log" | grep -c $'\r.*61 of 61 frames (100 %)')" 1
      expect "mp4: the index before the frames (+faststart)" "$(grep -obUa -m 2 -E 'moov|mdat' "$video" | head -n 1 | cut -d: -f2)" moov
    fi
    expect "$format: exit status" "$status" 0
    expect "$format: codec, size, colours, frame rate, frames" "$(ffprobe -v error -count_frames -select_streams v:0 \
      -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_frames,color_space -of csv=p=0 "$video")" \
      "$codec,320,240,bt709,20/1,61"
    if ! ffmpeg -v error -i "$video" -frames:v 1 -y "$work/$format-first.png" ||
      ! ffmpeg -v error -i "$video" -vf 'select=eq(n\,60)' -frames:v 1 -y "$work/$format-last.png"; then
      fail "$format: decoding"
    fi
    at_least "$format: the first frame is step 0's picture" \
      "$(compare -metric PSNR "$work/$format-first.png" "$work/step-0.png" null: 2>&1)" "$first_bound"
    at_least "$format: the last frame is step 60's picture" \
      "$(compare -metric PSNR "$work/$format-last.png" "$work/step-60.png" null: 2>&1)" "$last_bound"
    only_files "$format" "$(ls -A "$work/$format")" "${video##*/}"
  done
}

# failing NAME STATUS MESSAGE COMMAND...: COMMAND exits with STATUS, its
# standard error is one line that holds MESSAGE (an extended regular
# expression), and it leaves nothing in $work/out ($work/listing, when
# COMMAND writes it, lists it instead).
failing() {
  local name=$1 expected=$2 message=$3 status=0
  shift 3
  "$@" >/dev/null 2>"$work/error" || status=$?
  expect "$name: exit status" "$status" "$expected"
  if [ "$(wc -l <"$work/error")" -eq 1 ] && grep -qE "$message" "$work/error"; then
    pass "$name: message"
  else
    fail "$name: message" "$(cat "$work/error")"
  fi
  [ -e "$work/listing" ] || ls -A "$work/out" >"$work/listing"
  only_files "$name" "$(cat "$work/listing")"
  rm -f "$work/listing"
}

failures() {
  local video=$work/out/v.webm
  mkdir -p "$work/out" "$work/bin"
  failing "no ffmpeg" 2 'needs the program ffmpeg, which is not on PATH \(on Debian: apt-get install ffmpeg\)' \
    env PATH=/nonexistent "$program" --video "$video" --size 320x240 --steps 30

  # Frames larger than the memory the process may have.
  if [ -z "${VELMORA_SANITIZE:-}" ]; then
    failing "too little memory" 1 'not enough memory for frames of this size$' \
      sh -c 'ulimit -v 2500000 && exec "$@"' - "$program" --video "$video" --size 16000x16000 --steps 1
  else
    echo "skipped: too little memory (a sanitizer's shadow memory needs more address space)"
  fi

  # An encoder that ends before reading: the frames meet a broken pipe.
  printf '#!/bin/sh\necho "Unknown encoder libvpx-vp9" >&2\nexit 1\n' >"$work/bin/ffmpeg"
  chmod +x "$work/bin/ffmpeg"
  failing "an encoder ending at once" 1 \
    'the encoder failed after [0-9]+ of 31 frames: ffmpeg ended with exit status 1: Unknown encoder libvpx-vp9; no video written$' \
    env PATH="$work/bin:$PATH" "$program" --video "$video" --size 320x240 --steps 30

  # The real ffmpeg on a disk that fills: a 64 KiB tmpfs over $work/out in
  # a private mount namespace (root only), listed before it goes.
  if [ "$(id -u)" -eq 0 ]; then
    # shellcheck disable=SC2016 # expanded by the inner shell
    failing "a full disk" 1 'ffmpeg ended with exit status 1: .*No space left on device; no video written$' \
      unshare -m sh -c 'mount -t tmpfs -o size=64k velmora-full "$1" || exit 99
        "$2" --video "$1/v.webm" --size 320x240 --seed 5 --steps 60
        status=$?
        ls -A "$1" >"$3"
        exit $status' - "$work/out" "$program" "$work/listing"
  else
    echo "skipped: a full disk (needs root for a private tmpfs)"
  fi

  # Ctrl-C once ffmpeg has written the file's start. Job control, so that
  # the background run does not ignore SIGINT.
  set -m
  "$program" --video "$video" --size 320x240 --seed 5 --steps 3000 >/dev/null 2>"$work/error" &
  local pid=$! tries status=0
  set +m
  for tries in $(seq 300); do
    find "$work/out" -name '*.part' -size +0 | grep -q . && break
    sleep 0.1
  done
  kill -INT "$pid"
  wait "$pid" || status=$?
  expect "Ctrl-C: exit status" "$status" 130
  expect "Ctrl-C: message" "$(cat "$work/error")" \
    "$(grep -E '^velmora-render: stopped by SIGINT after [0-9]+ of 3001 frames; no video written$' "$work/error")"
  expect "Ctrl-C: the encoder ended" "$(pgrep -fc -- "$work/out/")" 0
  only_files "Ctrl-C" "$(ls -A "$work/out")"
}

"$what"
finish_cases "render_cli.video_$what" "$started"
